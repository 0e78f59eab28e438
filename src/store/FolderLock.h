#pragma once

#include <QString>

namespace quorly {

// A folder locked with flock() by the process that works in it, for as long as it does:
// the lock says "alive" without any file of its own and goes with the process however
// it ends (the kernel drops it with the last descriptor). Another process tells a
// folder left by a dead one from a live one's by whether the lock is free.

// Opens `path` (a real folder, not a link) and takes its lock if it is free. The
// descriptor holding the lock, or -1 (errno set; EWOULDBLOCK: its owner is alive).
int lockFolderIfFree(const QString& path);

// Whether the folder open on `fd` is still the one at `path`: a folder can be removed
// (and another made under the same name) between its creation and its locking.
bool isFolderAt(int fd, const QString& path);

}  // namespace quorly
