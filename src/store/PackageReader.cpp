#include "store/PackageReader.h"

#include "store/CipherEngine.h"
#include "store/DocumentMessages.h"
#include "store/PasswordArchive.h"
#include "store/PlaintextFile.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFileInfo>


namespace quorly {

namespace {

void selectParameters(PackageFormat format)
{
    if (format == PackageFormat::Pre20)
        selectPre20Parameters();
    else
        selectCurrentParameters();
}

}  // namespace

PackageFiles packageFiles(const QString& packagePath)
{
    const QDir package(packagePath);
    PackageFiles files;
    if (QFileInfo(package.filePath(QStringLiteral("Data.qlyi"))).isFile()) {
        files.format = PackageFormat::Current;
        files.dataPath = package.filePath(QStringLiteral("Data.qlyi"));
        files.recentWebsitesPath = package.filePath(QStringLiteral("Recent Websites.qlyi"));
    } else if (QFileInfo(package.filePath(QStringLiteral("Data.qlye"))).isFile()) {
        files.format = PackageFormat::Pre20;
        files.dataPath = package.filePath(QStringLiteral("Data.qlye"));
        files.recentWebsitesPath = package.filePath(QStringLiteral("Recent Websites.qlye"));
    }
    return files;
}

PackageContents readPackage(const QString& packagePath, const QString& framis)
{
    using Status = PackageContents::Status;
    PackageContents contents;
    const auto fail = [&contents](Status status, const QString& message) {
        contents.status = status;
        contents.message = message;
        contents.entries.clear();
        contents.recentWebsites.clear();
        return contents;
    };

    const QFileInfo info(packagePath);
    if (!info.exists())
        return fail(Status::Missing, QStringLiteral("%1: no such file or folder.").arg(packagePath));
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return fail(info.isDir() ? Status::Missing : Status::NotAQuorlyFile,
                    info.isDir() ? QStringLiteral("%1: the folder cannot be read.").arg(packagePath)
                                 : QStringLiteral("%1: %2").arg(packagePath, DocumentMessages::NotAQuorlyFile));

    const PackageFiles files = packageFiles(packagePath);
    contents.format = files.format;
    if (files.format == PackageFormat::None)
        return fail(Status::NotAQuorlyFile, QStringLiteral("%1: %2").arg(packagePath, DocumentMessages::NotAQuorlyFile));
    if (!QFileInfo(files.dataPath).isReadable())
        return fail(Status::Missing, QStringLiteral("%1: the data file cannot be read.").arg(files.dataPath));

    QString folderError;
    std::optional<TempFolder> temp = TempFolder::create(&folderError);
    if (!temp)
        return fail(Status::NoTempFolder, folderError);
    const QString plainData = temp->filePath(QStringLiteral("Data"));
    const QString plainTitles = temp->filePath(QStringLiteral("Recent Websites"));

    const bool sequential = files.format == PackageFormat::Pre20;
    selectParameters(files.format);
    CryptFailure why;
    const bool decrypted = framisD(files.dataPath, framis, plainData, &why);
    selectCurrentParameters();
    if (!decrypted) {
        switch (why.kind) {
        case CryptFailure::Kind::WrongPassword:
            return fail(Status::WrongPassword, why.describe());
        case CryptFailure::Kind::Damaged:
            return fail(Status::Damaged, QStringLiteral("The password file is damaged and cannot be read (%1)")
                                             .arg(why.describe()));
        default:
            return fail(Status::Failed, why.describe());
        }
    }
    QString error;
    std::optional<QList<EntryRef>> entries = takePlaintextEntries(plainData, sequential, &error);
    if (!entries)
        // About one wrong password in 256 passes the cipher's padding check; what it
        // decrypts to is then no archive, just as a damaged file's is.
        return fail(Status::Damaged, QStringLiteral("The password file cannot be read: it is damaged, or the password "
                                                    "given unlocks it but is not its own (%1).")
                                         .arg(error));
    contents.entries = std::move(*entries);

    selectParameters(files.format);
    if (QFileInfo(files.recentWebsitesPath).isFile() && framisD(files.recentWebsitesPath, framis, plainTitles)) {
        if (std::optional<QStringList> list = takePlaintextTitles(plainTitles, sequential))
            contents.recentWebsites = std::move(*list);
    }
    selectCurrentParameters();
    return contents;
}

}  // namespace quorly
