#pragma once

#include <QString>

namespace quorly {

// Re-encrypts both files of a current-format package ("Data.qlyi" and, when present,
// "Recent Websites.qlyi") from `oldFramis` to `newFramis`. The current password is
// proved by decrypting and reading the data file; when it is wrong, or anything else
// fails, nothing in the package is changed and `error` says why. The keychain is the
// caller's business.
bool changeFilePassword(const QString& packagePath, const QString& oldFramis, const QString& newFramis,
                        QString* error = nullptr);

}  // namespace quorly
