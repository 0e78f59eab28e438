#include "store/NewPasswordFile.h"

#include "store/CipherEngine.h"
#include "store/FolderLock.h"
#include "store/PackageLeftovers.h"
#include "store/PasswordArchive.h"
#include "store/PlaintextFile.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

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

// rename() would replace an empty folder made at `to` meanwhile; the new package must
// never take another's place. File systems without RENAME_NOREPLACE get a check first.
bool renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
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

    // Earlier creations of this name that were killed halfway.
    removeCreationLeftovers(package);

    QString folderError;
    std::optional<TempFolder> temp = TempFolder::create(&folderError);
    if (!temp)
        return fail(error, folderError);

    // The package is built beside its place under a hidden name and renamed into place
    // complete, so that no one ever meets it half made: a killed creation leaves no
    // "not a Quorly file" that also "already exists", only a hidden folder that the next
    // creation of this name removes (its builder keeps it locked while it works).
    // mkdtemp makes it 0700: the package is the user's alone, like the files in it.
    const QFileInfo target(package);
    QByteArray buildTemplate =
        QFile::encodeName(target.absolutePath() + QLatin1String("/.") + target.fileName() + QLatin1String(".XXXXXX"));
    if (!::mkdtemp(buildTemplate.data()))
        return fail(error, QStringLiteral("The folder %1 cannot be created: %2.")
                               .arg(package, QString::fromLocal8Bit(std::strerror(errno))));
    const QString building = QFile::decodeName(buildTemplate);
    const int buildLock = lockFolderIfFree(building);
    const auto abandon = [&](const QString& message) {
        QDir(building).removeRecursively();
        if (buildLock >= 0)
            ::close(buildLock);
        return fail(error, message);
    };

    const QString plaintext = temp->filePath(QStringLiteral("Data"));
    QByteArray archive = keyedArchiveFromEntries(EntryList());
    selectCurrentParameters();
    CryptFailure why;
    if (!writePlaintextFile(plaintext, archive))
        return abandon(QStringLiteral("The password file %1 could not be written: %2")
                           .arg(package, CryptFailure{CryptFailure::Kind::CannotWrite, errno, plaintext}.describe()));
    if (!framisE(plaintext, framis, building + QStringLiteral("/Data.qlyi"), &why))
        return abandon(QStringLiteral("The password file %1 could not be written: %2").arg(package, why.describe()));

    if (!renameNoReplace(buildTemplate, native)) {
        const int reason = errno;
        return abandon(reason == EEXIST || reason == ENOTEMPTY
                           ? QStringLiteral("%1 already exists.").arg(package)
                           : QStringLiteral("The password file %1 could not be put in place: %2.")
                                 .arg(package, QString::fromLocal8Bit(std::strerror(reason))));
    }
    syncFolder(target.absolutePath());
    if (buildLock >= 0)
        ::close(buildLock);
    return true;
}

NewPasswordProblem newPasswordProblem(const QString& first, const QString& second)
{
    if (first != second)
        return NewPasswordProblem::Different;
    return first.isEmpty() ? NewPasswordProblem::Empty : NewPasswordProblem::None;
}

}  // namespace quorly
