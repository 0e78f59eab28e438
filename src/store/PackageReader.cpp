#include "store/PackageReader.h"

#include "platform/KeyedArchive.h"
#include "platform/TypedStream.h"
#include "store/CipherEngine.h"
#include "store/DocumentMessages.h"
#include "store/PasswordArchive.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/crypto.h>

namespace quorly {

namespace {

// Reads a decrypted archive and overwrites the plaintext, in memory and on disk.
ArchiveReadResult readPlaintextArchive(const QString& path, PackageFormat format)
{
    QByteArray bytes;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    secureDelete(path);
    ArchiveReadResult result =
        format == PackageFormat::Pre20 ? TypedStream::decode(bytes) : KeyedArchive::decode(bytes);
    OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    return result;
}

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

    selectParameters(files.format);
    if (!framisD(files.dataPath, framis, plainData))
        return fail(Status::WrongPassword, QStringLiteral("The password is incorrect."));
    const ArchiveReadResult data = readPlaintextArchive(plainData, files.format);
    QString error = data.error;
    std::optional<QList<EntryRef>> entries;
    if (data.root)
        entries = entriesFromArchive(*data.root, &error);
    if (!entries)
        return fail(Status::Damaged,
                    QStringLiteral("The password file is damaged and cannot be read (%1).").arg(error));
    contents.entries = std::move(*entries);

    selectParameters(files.format);
    if (QFileInfo(files.recentWebsitesPath).isFile() && framisD(files.recentWebsitesPath, framis, plainTitles)) {
        const ArchiveReadResult titles = readPlaintextArchive(plainTitles, files.format);
        if (titles.root) {
            if (std::optional<QStringList> list = titlesFromArchive(*titles.root, nullptr))
                contents.recentWebsites = std::move(*list);
        }
    }
    selectCurrentParameters();
    return contents;
}

}  // namespace quorly
