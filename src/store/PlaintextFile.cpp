#include "store/PlaintextFile.h"

#include "store/CipherEngine.h"
#include "store/PasswordArchive.h"

#include <QFile>

#include <openssl/crypto.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quorly {

void cleanseBytes(QByteArray& bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    bytes.clear();
}

void secureDeleteIfPresent(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        secureDelete(path);
}

bool writePlaintextFile(const QString& path, QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        cleanseBytes(bytes);
        errno = error;
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= n;
    }
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    cleanseBytes(bytes);
    if (!ok) {
        secureDelete(path);
        errno = error;  // the caller tells the user why
    }
    return ok;
}

std::optional<QByteArray> takePlaintextFile(const QString& path)
{
    std::optional<QByteArray> bytes;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            QByteArray all = file.readAll();
            if (file.error() == QFileDevice::NoError)
                bytes = std::move(all);
            else
                cleanseBytes(all);
        }
    }
    secureDelete(path);
    return bytes;
}

namespace {

// Reads the decrypted file with `read`, then overwrites its bytes whatever came of it.
template <typename Result, typename Read>
std::optional<Result> takePlaintext(const QString& path, QString* error, Read read)
{
    std::optional<QByteArray> bytes = takePlaintextFile(path);
    if (!bytes) {
        if (error)
            *error = QStringLiteral("the decrypted file cannot be read");
        return std::nullopt;
    }
    std::optional<Result> result = read(*bytes);
    cleanseBytes(*bytes);
    return result;
}

}  // namespace

std::optional<QList<EntryRef>> takePlaintextEntries(const QString& path, bool sequential, QString* error)
{
    return takePlaintext<QList<EntryRef>>(
        path, error, [&](const QByteArray& bytes) { return entriesFromPlaintext(bytes, sequential, error); });
}

std::optional<QStringList> takePlaintextTitles(const QString& path, bool sequential, QString* error)
{
    return takePlaintext<QStringList>(
        path, error, [&](const QByteArray& bytes) { return titlesFromPlaintext(bytes, sequential, error); });
}

}  // namespace quorly
