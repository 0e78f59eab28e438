#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
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

// The keychain item of one password file.
struct KeychainItemKey {
    // The package's name without its extension: what the Mac version keys its items by,
    // and what `secret-tool lookup service Marrowdenkeeper account NAME` looks for.
    QString account;
    // The package's canonical path: same-named files in different folders keep items of
    // their own.
    QString path;
};

// The item of the package at `packagePath` ("/a/b/Home.qly" -> account "Home", path
// its canonicalPackagePath).
KeychainItemKey keychainItemForPackage(const QString& packagePath);
// The account alone: the package's name without its extension ("/a/b/Home.v2.qly/" ->
// "Home.v2"; a leading dot starts a hidden name, not an extension).
QString keychainAccountForPackage(const QString& packagePath);

struct KeychainLookup {
    KeychainStatus status = KeychainStatus::NotFound;
    QString password;  // set only with Found
    // Set when the password comes from an item stored without a package path (by an
    // earlier version, or by hand) that is the only item of its account. Such an item
    // may belong to another file of the same name, so it counts for this package only
    // once its password has opened it; calling this then records the package's path on
    // the item, which from then on is this package's alone.
    std::function<bool()> claim;
};

// Of the items stored under one account, given by their package paths (empty for an
// item stored without one), the one that serves the package at `path`: the item with
// that path, otherwise an item without any path when it is the only item of the
// account. -1 when none serves it; `legacy` tells the second case.
struct KeychainChoice {
    qsizetype index = -1;
    bool legacy = false;
};
KeychainChoice chooseKeychainItem(const QStringList& itemPaths, const QString& path);

// The user's keychain, holding one generic password per password file under the
// service "Marrowdenkeeper", the file's account and its path. An item is changed or
// removed only through its own path: never one that belongs to another file of the same
// name. Errors are never shown to the user, which is why add and delete answer only
// yes/no.
class Keychain {
public:
    virtual ~Keychain() = default;

    // False when no keychain service can be reached at all; every lookup then reports
    // NotFound and every change fails.
    virtual bool isAvailable() = 0;

    virtual KeychainLookup findGenericPassword(const KeychainItemKey& item) = 0;

    // Stores the password, replacing the item of that path if there is one; items of
    // other paths and items without a path stay as they are.
    virtual bool addGenericPassword(const KeychainItemKey& item, const QString& password) = 0;

    // Removes the item of that path. An item that no longer exists counts as removed,
    // so the user can always turn the option off.
    virtual bool deleteItem(const KeychainItemKey& item) = 0;

    // Gives the path of `item` to the account's only item, when that one has no path.
    virtual bool claimLegacyItem(const KeychainItemKey& item) = 0;
};

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
    KeychainLookup findGenericPassword(const KeychainItemKey& item) override;
    bool addGenericPassword(const KeychainItemKey& item, const QString& password) override;
    bool deleteItem(const KeychainItemKey& item) override;
    bool claimLegacyItem(const KeychainItemKey& item) override;

    // An item as an earlier version (or secret-tool) stored it: no path.
    void addLegacyItem(const QString& account, const QString& password);

    void setAvailable(bool on) { available_ = on; }
    // Lookups of existing items answer AccessRefused, as a keyring kept locked would.
    void setRefuseAccess(bool on) { refuseAccess_ = on; }
    // Adds and deletes fail and change nothing.
    void setFailWrites(bool on) { failWrites_ = on; }

    // The password of the item of that account and path (an empty path: the item
    // without one).
    std::optional<QString> storedPassword(const KeychainItemKey& item) const;
    int itemCount() const { return static_cast<int>(items_.size()); }
    int lookupCount() const { return lookups_; }

private:
    struct Item {
        QString account;
        QString path;
        QString password;
    };
    QStringList pathsOf(const QString& account, QList<qsizetype>* indexes) const;

    QList<Item> items_;
    bool available_ = true;
    bool refuseAccess_ = false;
    bool failWrites_ = false;
    int lookups_ = 0;
};

}  // namespace quorly
