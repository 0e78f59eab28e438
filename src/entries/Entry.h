#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>
#include <variant>

namespace quorly {

// One stored value of an entry. Password files hold strings, booleans and numbers;
// integers and reals are kept apart so that a round trip keeps the stored type.
using EntryValue = std::variant<QString, bool, qint64, double>;

// Keys of the entry record. Stored files depend on these exact names.
namespace EntryKey {
inline const QString Path = QStringLiteral("Path");
inline const QString Button = QStringLiteral("Button");
inline const QString WebsiteURL = QStringLiteral("websiteURL");
inline const QString WebsiteUserID = QStringLiteral("websiteUserID");
inline const QString WebsiteUserID2 = QStringLiteral("websiteUserID2");
inline const QString WebsitePassword = QStringLiteral("websitePassword");
inline const QString Notes = QStringLiteral("Notes");
// Login options.
inline const QString UserIDTabSwitch = QStringLiteral("websiteUserIDTabSwitch");
inline const QString UserIDTabCount = QStringLiteral("websiteUserIDTabCount");
inline const QString PasswordTabSwitch = QStringLiteral("websitePasswordTabSwitch");
inline const QString PasswordTabCount = QStringLiteral("websitePasswordTabCount");
inline const QString NewUserIDOptions = QStringLiteral("websiteNewUserIDOptions");
inline const QString UserIDOptions = QStringLiteral("websiteUserIDOptions");
inline const QString PasswordOptions = QStringLiteral("websitePasswordOptions");
inline const QString UserIDReturnSwitch = QStringLiteral("websiteUserIDReturnSwitch");
inline const QString PasswordReturnSwitch = QStringLiteral("websitePasswordReturnSwitch");
inline const QString PasswordEnter = QStringLiteral("websitePasswordEnter");
inline const QString Browser = QStringLiteral("websiteBrowser");
inline const QString BrowserBundleID = QStringLiteral("websiteBrowserBundleID");
inline const QString UseCWBrowser = QStringLiteral("websiteUseCWBrowser");
// Generator settings of one entry.
inline const QString PasswordLength = QStringLiteral("websitePasswordLength");
inline const QString IncludeSpecials = QStringLiteral("websiteIncludeSpecials");
}  // namespace EntryKey

// One login record: string keys in their stored order, each with a typed value.
// A missing key reads as "", false or 0; writers never store a null.
class Entry {
public:
    using Item = QPair<QString, EntryValue>;

    Entry() = default;
    Entry(const Entry&) = default;
    Entry(Entry&&) noexcept = default;
    Entry& operator=(const Entry&) = default;
    Entry& operator=(Entry&&) noexcept = default;
    // Texts no one else holds (a password read from a file, the last copy of a changed
    // value) are overwritten before their memory goes back.
    ~Entry();

    bool contains(const QString& key) const;
    std::optional<EntryValue> value(const QString& key) const;

    // Typed reads. A value of another type converts the way the original program's
    // accessors did: numbers and booleans read as strings "" (not shown), strings
    // read as numbers by their leading digits, booleans and numbers convert freely.
    QString string(const QString& key) const;
    bool boolean(const QString& key) const;
    qint64 integer(const QString& key) const;
    double real(const QString& key) const;

    // Replaces the value in place (keeping the key's position) or appends the key.
    void set(const QString& key, const EntryValue& value);
    void setString(const QString& key, const QString& value) { set(key, EntryValue(value)); }
    void setBool(const QString& key, bool value) { set(key, EntryValue(value)); }
    void setInteger(const QString& key, qint64 value) { set(key, EntryValue(value)); }
    void remove(const QString& key);

    QString name() const { return string(EntryKey::Path); }
    void setName(const QString& name) { setString(EntryKey::Path, name); }

    const QList<Item>& items() const { return items_; }
    int size() const { return int(items_.size()); }

    // Equal when both hold the same keys with equal values, whatever their order;
    // numbers compare by value, so a boolean true equals the integer 1.
    friend bool operator==(const Entry& a, const Entry& b);
    friend bool operator!=(const Entry& a, const Entry& b) { return !(a == b); }

private:
    QList<Item> items_;
};

// Entries are shared: the list, the table's rows, the current entry and the editor
// all hold the same object, and edits change it in place so those references survive.
using EntryRef = std::shared_ptr<Entry>;

inline EntryRef makeEntry(Entry e = {}) { return std::make_shared<Entry>(std::move(e)); }

}  // namespace quorly
