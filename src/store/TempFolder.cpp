#include "store/TempFolder.h"

#include "store/CipherEngine.h"
#include "store/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace quorly {

namespace {

const char kTemplateName[] = ".QLY.XXXXXXXX";

// Overwrites every regular file below `dir` before the folder goes, so that plaintext
// left by an interrupted save does not linger in freed blocks of a disk-backed home.
void removeTree(const QString& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root = QFile::encodeName(dir).toStdString();
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            secureDelete(it->path().c_str());
    }
    fs::remove_all(root, ec);
}

}  // namespace

// A runtime folder is only used when it is a real folder owned by us and closed to others;
// otherwise plaintext could land somewhere shared.
bool TempFolder::isPrivateFolder(const QString& path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0 &&
           ::access(native.constData(), W_OK | X_OK) == 0;
}

QStringList TempFolder::candidateParents()
{
    QStringList parents;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(QFile::decodeName(runtime)))
        parents << QFile::decodeName(runtime);
    parents << QDir::homePath();
    return parents;
}

std::optional<TempFolder> TempFolder::create(QString* error)
{
    QString lastError;
    for (const QString& parent : candidateParents()) {
        // Another process's clean-up may take a folder in the moment between its making
        // and its locking here, when its lock is still free; then it is made again.
        for (int attempt = 0; attempt < 8; ++attempt) {
            QByteArray templ = QFile::encodeName(parent + QLatin1Char('/')) + kTemplateName;
            char* made = ::mkdtemp(templ.data());
            if (!made) {
                lastError = QStringLiteral("Could not create a private folder in %1: %2.")
                                .arg(parent, QString::fromLocal8Bit(std::strerror(errno)));
                break;
            }
            ::chmod(made, 0700);
            const QString path = QFile::decodeName(made);
            const int fd = lockFolderIfFree(path);
            if (fd >= 0 && isFolderAt(fd, path))
                return TempFolder(path, fd);
            if (fd >= 0)
                ::close(fd);
        }
    }
    if (error)
        *error = lastError;
    return std::nullopt;
}

TempFolder::TempFolder(TempFolder&& other) noexcept
    : path_(std::exchange(other.path_, QString())), lockFd_(std::exchange(other.lockFd_, -1))
{
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept
{
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, QString());
        lockFd_ = std::exchange(other.lockFd_, -1);
    }
    return *this;
}

TempFolder::~TempFolder()
{
    remove();
}

void TempFolder::remove()
{
    if (!path_.isEmpty())
        removeTree(path_);
    path_.clear();
    // Only once the folder is gone: until then nobody may take it for a dead one's.
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
}

void TempFolder::removeStale()
{
    for (const QString& parent : candidateParents()) {
        const QDir dir(parent);
        const QStringList found =
            dir.entryList({QStringLiteral(".QLY.*")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
        for (const QString& name : found) {
            const QString path = dir.filePath(name);
            // A live owner holds the lock, in this process or another: its folder stays.
            // The lock is kept while the folder goes, so no new owner can take it meanwhile.
            const int fd = lockFolderIfFree(path);
            if (fd < 0)
                continue;
            struct stat st {};
            if (::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && isFolderAt(fd, path))
                removeTree(path);
            ::close(fd);
        }
    }
}

}  // namespace quorly
