#pragma once

#include "entries/Entry.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quorly {

// The fixed names of a package's files.
namespace PackageFileName {
inline const QString Data = QStringLiteral("Data.qlyi");
inline const QString RecentWebsites = QStringLiteral("Recent Websites.qlyi");
inline const QString OldData = QStringLiteral("Data.qlye");
inline const QString OldRecentWebsites = QStringLiteral("Recent Websites.qlye");
}  // namespace PackageFileName

// Which of the two package formats a folder holds, decided by its file names alone:
// "Data.qlyi" wins over "Data.qlye" when both are there.
enum class PackageFormat { None, Current, Pre20 };

struct PackageFiles {
    PackageFormat format = PackageFormat::None;
    QString dataPath;            // "Data.qlyi" or "Data.qlye"
    QString recentWebsitesPath;  // "Recent Websites.qlyi" or ".qlye"; may not exist
};

PackageFiles packageFiles(const QString& packagePath);

// What a read-only look into a package found.
struct PackageContents {
    enum class Status {
        Ok,
        Missing,
        NotAQuorlyFile,
        WrongPassword,
        Damaged,
        NoTempFolder,
        Failed,  // a file could not be read or written: the message gives the system's reason
    };
    Status status = Status::Ok;
    QString message;  // for the user, set for every status but Ok
    PackageFormat format = PackageFormat::None;
    QList<EntryRef> entries;
    QStringList recentWebsites;
};

// Decrypts and reads a package without changing anything in it: no migration, no merge
// of copies placed beside its files. Plaintext exists only in a private temporary folder
// for the moment of the read. A recent-websites file that is missing or unreadable gives
// an empty list, as it does when a document opens.
PackageContents readPackage(const QString& packagePath, const QString& framis);

}  // namespace quorly
