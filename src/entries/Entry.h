#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QAnyStringView>
#include <QStringView>

#include <memory>
#include <optional>
#include <utility>
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
//
// A file holds tens of thousands of entries, so one is kept compact: its keys, values
// and texts lie in one block of memory, which copies of the entry share until one of
// them changes (a change makes a new block). Keys are interned once for the process.
// The block's texts are overwritten when the last entry holding them lets go.
class Entry {
public:
    using Item = QPair<QString, EntryValue>;

    Entry() = default;
    Entry(const Entry& other) noexcept;
    Entry(Entry&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    Entry& operator=(const Entry& other) noexcept;
    Entry& operator=(Entry&& other) noexcept;
    ~Entry();

    bool contains(const QString& key) const { return find(key) >= 0; }
    std::optional<EntryValue> value(const QString& key) const;

    // Typed reads. A value of another type converts the way the original program's
    // accessors did: numbers and booleans read as strings "" (not shown), strings
    // read as numbers by their leading digits, booleans and numbers convert freely.
    QString string(const QString& key) const;
    // The same text without a copy, valid until this entry changes or goes: Latin-1
    // or UTF-16, as the entry keeps it.
    QAnyStringView stringView(const QString& key) const;
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
    QAnyStringView nameView() const { return stringView(EntryKey::Path); }
    void setName(const QString& name) { setString(EntryKey::Path, name); }

    int size() const;
    // The pairs in stored order, one by one or all at once (a copy).
    const QString& keyAt(int i) const;
    EntryValue valueAt(int i) const;
    // Pair i's text without a copy, valid until this entry changes or goes; empty when
    // the value is not text.
    bool isTextAt(int i) const;
    QAnyStringView textAt(int i) const;
    QList<Item> items() const;

    // Equal when both hold the same keys with equal values, whatever their order;
    // numbers compare by value, so a boolean true equals the integer 1.
    friend bool operator==(const Entry& a, const Entry& b);
    friend bool operator!=(const Entry& a, const Entry& b) { return !(a == b); }

    // Makes entries from pairs whose keys are known to be distinct, without the search
    // per key that set() makes. Reusable: build() leaves it empty for the next entry.
    class Builder {
    public:
        // A reader making a whole list says so: its entries then share large chunks
        // of memory, which a list of thousands fills far faster than an allocation each.
        enum class Expecting { OneEntry, ManyEntries };
        explicit Builder(Expecting expecting = Expecting::OneEntry);
        ~Builder();
        Builder(const Builder&) = delete;
        Builder& operator=(const Builder&) = delete;

        // Pairs are appended; `key` must come from internKey().
        void text(const QString* key, QAnyStringView text);
        // Appends a text of `length` UTF-16 units and returns where to write them.
        char16_t* text(const QString* key, qsizetype length);
        void boolean(const QString* key, bool value);
        void integer(const QString* key, qint64 value);
        void real(const QString* key, double value);
        // Gives pair `i` the value of the pair appended last, which goes: a key met
        // again keeps its first place and takes its last value.
        void moveLastValueTo(int i);
        int size() const;
        Entry build();

    private:
        struct Pending;
        Pending* pending_;
    };

    // The process's one copy of a key's text: the entry keys above are their own.
    static const QString* internKey(const QString& key);

private:
    struct Block;
    explicit Entry(Block* block) : block_(block) {}
    int find(const QString& key) const;

    Block* block_ = nullptr;
};

// Entries are shared: the list, the table's rows, the current entry and the editor
// all hold the same object, and edits change it in place so those references survive.
using EntryRef = std::shared_ptr<Entry>;

inline EntryRef makeEntry(Entry e = {}) { return std::make_shared<Entry>(std::move(e)); }

}  // namespace quorly
