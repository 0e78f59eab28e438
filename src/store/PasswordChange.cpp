#include "store/PasswordChange.h"

#include "platform/KeyedArchive.h"
#include "store/CipherEngine.h"
#include "store/PackageLock.h"
#include "store/PackageReader.h"
#include "store/PlaintextFile.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
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

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

// Decrypts `cipherFile` into `plainPath` and proves that the result is a keyed archive.
// A wrong password slips past the cipher's padding check now and then; re-encrypting
// what it yielded would destroy the file for good. On failure no plaintext is left.
bool decryptsToArchive(const QString& cipherFile, const QString& framis, const QString& plainPath,
                       CryptFailure* why = nullptr)
{
    selectCurrentParameters();
    if (!framisD(cipherFile, framis, plainPath, why))
        return false;
    QByteArray bytes;
    {
        QFile file(plainPath);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    const bool readable = KeyedArchive::decode(bytes).root.has_value();
    cleanseBytes(bytes);
    if (!readable)
        secureDelete(plainPath);
    return readable;
}

}  // namespace

bool changeFilePassword(const QString& packagePath, const QString& oldFramis, const QString& newFramis,
                        QString* error)
{
    const QString notChanged = QStringLiteral(" The password was not changed.");

    // The cipher engine refuses to decrypt with an empty password, so a file encrypted
    // with one could never be opened again.
    if (newFramis.isEmpty())
        return fail(error, QStringLiteral("The new password must not be empty.") + notChanged);

    const QFileInfo packageInfo(packagePath);
    if (!packageInfo.isDir())
        return fail(error, QStringLiteral("%1: no such password file.").arg(packagePath));
    const QString package = packageInfo.absoluteFilePath();

    // Held from the first read to the last rename: a save of another process either
    // comes before (and is re-encrypted here) or after (and finds the new password).
    QString lockError;
    const std::optional<PackageLock> lock = PackageLock::acquire(package, &lockError);
    if (!lock)
        return fail(error, lockError + notChanged);

    const PackageFiles files = packageFiles(package);
    if (files.format == PackageFormat::None)
        return fail(error, QStringLiteral("%1: This is not a Quorly file.").arg(packagePath));
    if (files.format == PackageFormat::Pre20)
        return fail(error, QStringLiteral("%1 still has the format of Quorly before 2.0. Open it once in Quorly, "
                                          "which converts it, then change its password.")
                               .arg(packagePath));
    if (!QFileInfo(files.dataPath).isReadable())
        return fail(error, QStringLiteral("%1: the data file cannot be read.").arg(files.dataPath) + notChanged);

    QString folderError;
    std::optional<TempFolder> temp = TempFolder::create(&folderError);
    if (!temp)
        return fail(error, folderError + notChanged);
    const QString plainData = temp->filePath(QStringLiteral("Data"));
    const QString plainRecent = temp->filePath(QStringLiteral("Recent Websites"));

    CryptFailure why;
    if (!decryptsToArchive(files.dataPath, oldFramis, plainData, &why)) {
        if (why.kind == CryptFailure::Kind::WrongPassword || why.kind == CryptFailure::Kind::None)
            return fail(error, QStringLiteral("CURRENT PASSWORD INCORRECT.") + notChanged);
        return fail(error, why.describe() + notChanged);
    }

    bool recentToChange = false;
    if (QFileInfo(files.recentWebsitesPath).isFile()) {
        if (decryptsToArchive(files.recentWebsitesPath, oldFramis, plainRecent)) {
            recentToChange = true;
        } else if (decryptsToArchive(files.recentWebsitesPath, newFramis, plainRecent)) {
            // Already under the new password: an earlier change stopped between its two
            // files (see the order below). Running the same change again completes it.
            secureDelete(plainRecent);
        } else {
            return fail(error, QStringLiteral("\"Recent Websites.qlyi\" cannot be read with the current password."
                                              " It holds only the list of recently visited websites; remove it"
                                              " from the package and try again.")
                                   + notChanged);
        }
    }

    // Everything that can fail for lack of space or rights happens before a stored file
    // is touched: both new ciphertexts are written and proved beside the stored ones,
    // under names no other run shares.
    selectCurrentParameters();
    std::optional<QString> stagedRecent;
    if (recentToChange) {
        stagedRecent = framisEStaged(plainRecent, newFramis, files.recentWebsitesPath, &why);
        if (!stagedRecent)
            return fail(error, why.describe() + notChanged);
    }
    const std::optional<QString> stagedData = framisEStaged(plainData, newFramis, files.dataPath, &why);
    const auto dropStaged = [&] {
        for (const std::optional<QString>& staged : {stagedRecent, stagedData}) {
            if (staged)
                ::unlink(nativePath(*staged).constData());
        }
    };
    if (!stagedData) {
        dropStaged();
        return fail(error, why.describe() + notChanged);
    }

    // Two renames cannot be made one, so the order decides what a crash between them
    // leaves. The recent-websites list goes first and the data file last: the data file
    // switches to the new password only at the very end, in one atomic step, so until
    // the change is complete it stays under the password the user had, which is the one
    // they will try when no success was reported. Only the recent-websites list can then
    // be out of step, and repeating the same change finishes the job (see above).
    if (stagedRecent &&
        ::rename(nativePath(*stagedRecent).constData(), nativePath(files.recentWebsitesPath).constData()) != 0) {
        const int reason = errno;
        dropStaged();
        return fail(error, QStringLiteral("The re-encrypted files could not be stored in %1: %2.")
                                   .arg(packagePath, QString::fromLocal8Bit(std::strerror(reason)))
                               + notChanged);
    }
    if (::rename(nativePath(*stagedData).constData(), nativePath(files.dataPath).constData()) != 0) {
        const int reason = errno;
        dropStaged();
        syncFolder(package);
        return fail(error, QStringLiteral("The data file of %1 could not be replaced (%2); it still opens with the "
                                          "current password. Change the password again with the same passwords to "
                                          "finish.")
                               .arg(packagePath, QString::fromLocal8Bit(std::strerror(reason))));
    }
    syncFolder(package);
    return true;
}

}  // namespace quorly
