#include "store/PlaintextFile.h"

#include "store/CipherEngine.h"

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

bool writePlaintextFile(const QString& path, QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        cleanseBytes(bytes);
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
    ok = (::close(fd) == 0) && ok;
    cleanseBytes(bytes);
    if (!ok)
        secureDelete(path);
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

}  // namespace quorly
