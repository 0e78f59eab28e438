#pragma once

#include <QString>

namespace quorly::DocumentMessages {

// Texts that several parts of the program show for one password file; users and the
// help pages know them word for word.
inline const QString NotAQuorlyFile = QStringLiteral("This is not a Quorly file.");
inline const QString SaveFailed =
    QStringLiteral("UNKNOWN ERROR: Your changes will show in the window, but be gone when you open the file.");
inline const QString EnterPassword = QStringLiteral("Enter Password:");
inline const QString PasswordIncorrect = QStringLiteral("PASSWORD INCORRECT. Please try again.");

}  // namespace quorly::DocumentMessages
