#pragma once

#include <QString>

namespace quorly {

// The one name of a password file that tells it apart from every other: its absolute
// path with symbolic links resolved (a package that is gone keeps the path it had).
// What is remembered per file (its keychain item, its window's frame) is keyed by it,
// since two files of the same name may lie in different folders.
QString canonicalPackagePath(const QString& packagePath);

}  // namespace quorly
