#pragma once

#include "entries/EntryList.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quorly {

// The question `confirmDelete:` asks before `count` rows go.
QString deletePrompt(int count);

// The recent-website titles a confirmed delete removes: the names of the selected rows,
// from the last row of the table down to the first.
QStringList recentTitlesRemovedByDelete(const EntryList& list, const QList<int>& selectedRows);

// The copy `duplicateEntry:` appends: every key of `original`, the values shared (the
// values are immutable strings and numbers, so a shallow copy is a full one), named by
// the copy rule against the names in `list`.
EntryRef duplicateOf(const EntryList& list, const Entry& original);

// A row chosen before an on-demand re-read may name another entry afterwards, since the
// re-read replaces the whole list. `chosen` is the entry the user picked and `before`
// a copy of its content taken before the re-read. Returns the entry to act on, or
// nullptr when it is gone and the caller should do nothing:
//  - the very same object if it is still in the list (nothing was re-read);
//  - else the first entry equal in content (the re-read brought it back unchanged);
//  - else the entry of that name, when exactly one has it (changed elsewhere: the user
//    gets the newer version of the entry they chose);
//  - else nothing: it was removed, or renamed into an ambiguity we will not guess at.
EntryRef entryChosenAgain(const EntryList& list, const EntryRef& chosen, const Entry& before);

}  // namespace quorly
