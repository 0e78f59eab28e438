#pragma once

#include "entries/EntryList.h"

#include <QList>
#include <QString>

namespace quorly {

// The outcome of one `findNext:` over a list.
struct FindResult {
    // False when the search text was empty: nothing was examined and the not-found
    // message is simply hidden.
    bool searched = false;
    // The row to select alone and scroll to, or -1 when nothing matched.
    int foundRow = -1;
    // `findStartingRow`: the single selected row, or the last row otherwise.
    int findStartingRow = -1;

    bool showNotFound() const { return searched && foundRow < 0; }
};

// The fields a search looks at, in the order it tries them.
const QList<QString>& searchedFields();

// True when one of the entry's searched fields holds `text`, ignoring case.
bool entryMatches(const Entry& entry, const QString& text);

// With exactly one row selected the search starts after it, wraps from the last row to
// the first and stops just before it, so the selected row itself is never a match;
// with no or several rows selected every row is examined from the first.
FindResult findNext(const EntryList& list, const QString& text, const QList<int>& selectedRows);

}  // namespace quorly
