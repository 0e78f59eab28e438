#pragma once

#include "entries/Entry.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

#include <functional>

namespace quorly {

// `passwordArray`: one document's ordered list of entries. The same object is the
// table's row array, so a row index is an index into this list; it is sorted by name
// at every save and may hold an appended entry at its end until then.
class EntryList {
public:
    int size() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.isEmpty(); }
    const EntryRef& at(int row) const { return entries_.at(row); }
    const QList<EntryRef>& entries() const { return entries_; }

    void append(EntryRef entry) { entries_.append(std::move(entry)); }
    void insert(int row, EntryRef entry) { entries_.insert(row, std::move(entry)); }
    void removeAt(int row) { entries_.removeAt(row); }
    void clear() { entries_.clear(); }
    void replaceAll(QList<EntryRef> entries) { entries_ = std::move(entries); }

    // Row of this very object, or -1.
    int indexOf(const EntryRef& entry) const;
    // First row whose entry equals `entry` by content (Entry equality), or -1.
    int indexOfEqual(const Entry& entry) const;

    // `entryWithName:`: the first entry whose name is exactly `name`, or nullptr.
    EntryRef entryWithName(const QString& name) const;
    // `uniqueNameForName:`: `name` if free, else name2, name3, ... ("%@%d").
    QString uniqueNameForName(const QString& name) const;
    // The name Duplicate gives a copy of `name`: "N copy", then "N copy 2", "N copy 3", ...
    QString copyNameForName(const QString& name) const;

    // Sorts with `passwordsSort`; entries of equal names keep no particular order.
    void sort();

private:
    QList<EntryRef> entries_;
};

// `passwordsSort`: compares the two names by Unicode code point, canonically
// equivalent sequences equal, a prefix first. Returns <0, 0 or >0.
int passwordsSort(const Entry& a, const Entry& b);

// Orders two strings by Unicode code point (not by UTF-16 code unit), a prefix first.
int compareByCodePoint(QAnyStringView a, QAnyStringView b);

// The names ("Path") of the entries, and the unique-name rule over such a set:
// `name` if free, else name2, name3, ...
QSet<QString> namesOf(const QList<EntryRef>& entries);
QString uniqueNameAmong(const QSet<QString>& taken, const QString& name);
QString uniqueNameAmong(const std::function<bool(const QString&)>& isTaken, const QString& name);

// Creation defaults of the paths that make entries.
Entry newEntryForAdd();                              // "(New)", Button "", Notes ""
Entry newEntryForImport(const QString& uniqueName);  // `newCategoryNamed:edit:` defaults

}  // namespace quorly
