#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorly {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, mode_t mode, QString* error)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QByteArray temp = QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const auto fail = [&](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };

    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(errno);
    const auto abandon = [&](int code) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(code);
    };
    if (::fchmod(fd, mode) != 0)
        return abandon(errno);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : EIO);
        written += n;
    }
    if (::fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(code);
    }
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(code);
    }
    // The rename has happened; a folder that refuses fsync does not undo it.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace quorly
