#include "store/TempFolder.h"

#include "store/CipherEngine.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quorly {

namespace {

const char kTemplateName[] = ".QLY.XXXXXXXX";

// A runtime folder is only used when it is a real folder owned by us and closed to others,
// as the XDG rules promise; otherwise plaintext could land somewhere shared.
bool isPrivateFolder(const QString& path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0 &&
           ::access(native.constData(), W_OK | X_OK) == 0;
}

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
        QByteArray templ = QFile::encodeName(parent + QLatin1Char('/')) + kTemplateName;
        if (char* made = ::mkdtemp(templ.data())) {
            ::chmod(made, 0700);
            return TempFolder(QFile::decodeName(made));
        }
        lastError = QStringLiteral("Could not create a private folder in %1: %2.")
                        .arg(parent, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (error)
        *error = lastError;
    return std::nullopt;
}

TempFolder::TempFolder(TempFolder&& other) noexcept : path_(std::move(other.path_))
{
    other.path_.clear();
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept
{
    if (this != &other) {
        remove();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

TempFolder::~TempFolder()
{
    remove();
}

void TempFolder::remove()
{
    if (path_.isEmpty())
        return;
    removeTree(path_);
    path_.clear();
}

void TempFolder::removeStale()
{
    for (const QString& parent : candidateParents()) {
        const QDir dir(parent);
        const QStringList stale =
            dir.entryList({QStringLiteral(".QLY.*")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
        for (const QString& name : stale)
            removeTree(dir.filePath(name));
    }
}

}  // namespace quorly
