#pragma once

#include <QString>

namespace quorly {

// The steps of creating a password file that need no panel: makes the package folder
// at `path` (which must not exist yet), archives an empty entry list and encrypts and
// verifies it into "Data.qlyi" with `framis`. The plaintext exists only in a private
// temporary folder. On failure `error` says why and no package is left behind.
// The caller then hands the password over in gFramis and opens the package, so the
// user is not asked for it again.
bool createPasswordFile(const QString& path, const QString& framis, QString* error = nullptr);

// What is wrong with a new password typed twice: nothing, nothing typed at all (an empty
// password would leave a file nobody can open), or two different texts (which includes
// an empty first one under a typed second one).
enum class NewPasswordProblem { None, Empty, Different };
NewPasswordProblem newPasswordProblem(const QString& first, const QString& second);

}  // namespace quorly
