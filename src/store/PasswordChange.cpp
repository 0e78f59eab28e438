#include "store/PasswordChange.h"

#include "platform/KeyedArchive.h"
#include "store/CipherEngine.h"
#include "store/PackageReader.h"
#include "store/PlaintextFile.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

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

// The re-encrypted files wait beside the stored ones under hidden names. They must
// never begin with "Data " or "Recent Websites ": the open sequence would take such
// items for copies to merge.
QString stagedPath(const QString& package, const QString& name)
{
    return package + QLatin1String("/.") + name + QLatin1String(".passwd");
}

// Decrypts `cipherFile` into `plainPath` and proves that the result is a keyed archive.
// A wrong password slips past the cipher's padding check now and then; re-encrypting
// what it yielded would destroy the file for good. On failure no plaintext is left.
bool decryptsToArchive(const QString& cipherFile, const QString& framis, const QString& plainPath)
{
    selectCurrentParameters();
    if (!framisD(cipherFile, framis, plainPath))
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

    const QString stagedData = stagedPath(package, QStringLiteral("Data.qlyi"));
    const QString stagedRecent = stagedPath(package, QStringLiteral("Recent Websites.qlyi"));
    // Ciphertext only: whatever an interrupted change left behind can simply go.
    const auto dropStaged = [&] {
        ::unlink(nativePath(stagedData).constData());
        ::unlink(nativePath(stagedRecent).constData());
    };
    dropStaged();

    const QString plainData = temp->filePath(QStringLiteral("Data"));
    const QString plainRecent = temp->filePath(QStringLiteral("Recent Websites"));

    if (!decryptsToArchive(files.dataPath, oldFramis, plainData))
        return fail(error, QStringLiteral("CURRENT PASSWORD INCORRECT.") + notChanged);

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
    // is touched: both new ciphertexts are written and proved beside the stored ones.
    selectCurrentParameters();
    if (recentToChange && !framisE(plainRecent, newFramis, stagedRecent)) {
        dropStaged();
        return fail(error, QStringLiteral("The re-encrypted files could not be written into %1.").arg(packagePath)
                               + notChanged);
    }
    if (!framisE(plainData, newFramis, stagedData)) {
        dropStaged();
        return fail(error, QStringLiteral("The re-encrypted files could not be written into %1.").arg(packagePath)
                               + notChanged);
    }

    // Two renames cannot be made one, so the order decides what a crash between them
    // leaves. The recent-websites list goes first and the data file last: the data file
    // switches to the new password only at the very end, in one atomic step, so until
    // the change is complete it stays under the password the user had, which is the one
    // they will try when no success was reported. Only the recent-websites list can then
    // be out of step, and repeating the same change finishes the job (see above).
    if (recentToChange && ::rename(nativePath(stagedRecent).constData(),
                                   nativePath(files.recentWebsitesPath).constData()) != 0) {
        dropStaged();
        return fail(error, QStringLiteral("The re-encrypted files could not be stored in %1.").arg(packagePath)
                               + notChanged);
    }
    if (::rename(nativePath(stagedData).constData(), nativePath(files.dataPath).constData()) != 0) {
        dropStaged();
        syncFolder(package);
        return fail(error, QStringLiteral("The data file of %1 could not be replaced; it still opens with the current"
                                          " password. Change the password again with the same passwords to finish.")
                               .arg(packagePath));
    }
    syncFolder(package);
    return true;
}

}  // namespace quorly
