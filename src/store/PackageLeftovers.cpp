#include "store/PackageLeftovers.h"

#include "store/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorly {

namespace {

// The temporaries of saves and password changes. The doubled dot is what older
// versions' password change left: the save temporary of a staged ".Data.qlyi.passwd".
const QLatin1String kLeftoverPrefixes[] = {
    QLatin1String(".Data.qlyi."),
    QLatin1String(".Recent Websites.qlyi."),
    QLatin1String("..Data.qlyi.passwd."),
    QLatin1String("..Recent Websites.qlyi.passwd."),
};

constexpr int kUniqueSuffixLength = 6;  // the XXXXXX of mkstemp and mkdtemp

bool isRegularFileAt(int dirFd, const char* name)
{
    struct stat st {};
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

// The names in the folder open on `fd` (without "." and "..").
QList<QByteArray> namesInFolder(int fd)
{
    QList<QByteArray> names;
    const int listFd = ::dup(fd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    while (dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    return names;
}

// Removes the files of a creation folder if it holds only what a creation writes, and
// then the folder. Anything else in it (the user's?) keeps it where it is.
void removeCreationFolder(int fd, const QString& path)
{
    const QList<QByteArray> names = namesInFolder(fd);
    for (const QByteArray& name : names) {
        const QString decoded = QFile::decodeName(name);
        if (!(decoded == QLatin1String("Data.qlyi") || isPackageLeftoverName(decoded)) ||
            !isRegularFileAt(fd, name.constData()))
            return;
    }
    for (const QByteArray& name : names)
        ::unlinkat(fd, name.constData(), 0);
    ::rmdir(QFile::encodeName(path).constData());
}

}  // namespace

bool isPackageLeftoverName(const QString& name)
{
    for (const QLatin1String& prefix : kLeftoverPrefixes) {
        if (name.startsWith(prefix) && name.size() > prefix.size())
            return true;
    }
    return false;
}

void removePackageLeftovers(int packageFolderFd)
{
    for (const QByteArray& name : namesInFolder(packageFolderFd)) {
        if (isPackageLeftoverName(QFile::decodeName(name)) && isRegularFileAt(packageFolderFd, name.constData()))
            ::unlinkat(packageFolderFd, name.constData(), 0);
    }
}

void removeCreationLeftovers(const QString& packagePath)
{
    const QFileInfo package(packagePath);
    const QString prefix = QLatin1Char('.') + package.fileName() + QLatin1Char('.');
    const QDir parent = package.absoluteDir();
    const QStringList candidates =
        parent.entryList({prefix + QString(kUniqueSuffixLength, QLatin1Char('?'))},
                         QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& name : candidates) {
        const QString path = parent.filePath(name);
        const int fd = lockFolderIfFree(path);
        if (fd < 0)
            continue;  // its builder is still at work
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && isFolderAt(fd, path))
            removeCreationFolder(fd, path);
        ::close(fd);
    }
}

}  // namespace quorly
