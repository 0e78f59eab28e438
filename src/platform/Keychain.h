#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace quorly {

// The service name every file password is kept under.
inline constexpr const char kKeychainService[] = "Marrowdenkeeper";

enum class KeychainStatus {
    Found,          // the item exists and its password was read
    AccessRefused,  // the item exists but the user dismissed the unlock prompt, or the
                    // keyring stays locked
    NotFound,       // no such item, no keychain at all, or any other error
};

struct KeychainLookup {
    KeychainStatus status = KeychainStatus::NotFound;
    QString password;  // set only with Found
};

// The user's keychain, holding one generic password per password file under the
// service "Marrowdenkeeper" and the file's account name (keychainAccountForPackage).
// Items are addressed by their account, so two files of the same name share one item.
// Errors are never shown to the user, which is why add and delete answer only yes/no.
class Keychain {
public:
    virtual ~Keychain() = default;

    // False when no keychain service can be reached at all; every lookup then reports
    // NotFound and every change fails.
    virtual bool isAvailable() = 0;

    virtual KeychainLookup findGenericPassword(const QString& account) = 0;

    // Stores the password, replacing the item of that account if there is one: the
    // user asked to keep this file's password, and a same-named file's item is the
    // same item.
    virtual bool addGenericPassword(const QString& account, const QString& password) = 0;

    // Removes the item. An item that no longer exists counts as removed, so the user
    // can always turn the option off.
    virtual bool deleteItem(const QString& account) = 0;
};

// The account of a password file: the package's name without its extension
// ("/a/b/Home.qly" -> "Home"; "/a/b/Home.v2.qly/" -> "Home.v2").
QString keychainAccountForPackage(const QString& packagePath);

// The keychain the program uses. Until one is installed, a keychain that is not
// available (everything NotFound) stands in. Main thread only.
Keychain& keychain();
// Installs `k` (nullptr restores the unavailable stand-in).
void setKeychain(std::shared_ptr<Keychain> k);

// A keychain held in memory, for logic that must run without a keyring daemon.
// Each failure the real service can produce can be switched on.
class MemoryKeychain final : public Keychain {
public:
    bool isAvailable() override { return available_; }
    KeychainLookup findGenericPassword(const QString& account) override;
    bool addGenericPassword(const QString& account, const QString& password) override;
    bool deleteItem(const QString& account) override;

    void setAvailable(bool on) { available_ = on; }
    // Lookups of existing items answer AccessRefused, as a keyring kept locked would.
    void setRefuseAccess(bool on) { refuseAccess_ = on; }
    // Adds and deletes fail and change nothing.
    void setFailWrites(bool on) { failWrites_ = on; }

    std::optional<QString> storedPassword(const QString& account) const;
    int itemCount() const { return static_cast<int>(items_.size()); }
    int lookupCount() const { return lookups_; }

private:
    QHash<QString, QString> items_;
    bool available_ = true;
    bool refuseAccess_ = false;
    bool failWrites_ = false;
    int lookups_ = 0;
};

}  // namespace quorly
