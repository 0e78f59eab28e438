#include "store/NewPasswordFile.h"

#include "platform/KeyedArchive.h"
#include "store/CipherEngine.h"
#include "store/PasswordArchive.h"
#include "store/PlaintextFile.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace quorly {

namespace {

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

}  // namespace

bool createPasswordFile(const QString& path, const QString& framis, QString* error)
{
    const QString package = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QByteArray native = QFile::encodeName(package);
    struct stat st {};
    // Never over an existing item: replacing a password file is not what "create" means.
    if (::lstat(native.constData(), &st) == 0)
        return fail(error, QStringLiteral("%1 already exists.").arg(package));

    QString folderError;
    std::optional<TempFolder> temp = TempFolder::create(&folderError);
    if (!temp)
        return fail(error, folderError);

    if (::mkdir(native.constData(), 0777) != 0)
        return fail(error, QStringLiteral("The folder %1 cannot be created: %2.")
                               .arg(package, QString::fromLocal8Bit(std::strerror(errno))));

    const QString plaintext = temp->filePath(QStringLiteral("Data"));
    QByteArray archive = KeyedArchive::encode(archiveFromEntries(EntryList()));
    selectCurrentParameters();
    if (writePlaintextFile(plaintext, archive) &&
        framisE(plaintext, framis, package + QStringLiteral("/Data.qlyi")))
        return true;

    // Only what this call made is removed: the folder did not exist before.
    QDir(package).removeRecursively();
    return fail(error, QStringLiteral("The password file %1 could not be written.").arg(package));
}

NewPasswordProblem newPasswordProblem(const QString& first, const QString& second)
{
    if (first != second)
        return NewPasswordProblem::Different;
    return first.isEmpty() ? NewPasswordProblem::Empty : NewPasswordProblem::None;
}

}  // namespace quorly
