#pragma once

#include "entries/EntryList.h"

namespace quorly {

// Adds the entries of a conflicted copy of the data file (one that another machine's
// sync placed beside it) to `list`: an entry equal to one already held is skipped, one
// whose name is taken but whose content differs comes in as "<name> (CONFLICTED)",
// made unique with a number, and one of a new name comes in unchanged. The incoming
// entries are copied, never shared. Returns how many were added; the caller sorts and
// saves when that is more than zero.
int mergeConflictedCopy(EntryList& list, const QList<EntryRef>& incoming);

}  // namespace quorly
