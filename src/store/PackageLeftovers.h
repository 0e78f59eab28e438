#pragma once

#include <QString>

namespace quorly {

// What writers that died (a kill, a crash, a power cut) leave behind, and its removal
// by a process that knows no live writer can still need it.

// Inside a package whose writer lock the caller holds: the hidden temporaries of saves
// (".Data.qlyi.XXXXXX", ".Recent Websites.qlyi.XXXXXX") and the staged files of a
// password change, including the fixed names older versions staged under. Only regular
// files, only these names; all of them hold ciphertext, so they are simply unlinked.
void removePackageLeftovers(int packageFolderFd);

// Whether `name` is such a temporary.
bool isPackageLeftoverName(const QString& name);

// The folder a new package is built in before it is renamed into place is named
// ".<name>.XXXXXX" beside it and locked by its builder; those of `packagePath` whose
// builder is gone are removed.
void removeCreationLeftovers(const QString& packagePath);

}  // namespace quorly
