#include "cli/ClipHelper.h"

#include "cli/Cli.h"
#include "platform/ByteSink.h"
#include "platform/Crypto.h"
#include "store/Globals.h"

#include <QFile>
#include <QFileInfo>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorly::cli {

namespace {

// Puts `secret` on standard input as a file in memory only: no disk ever holds it, and
// unlike a pipe it takes a field of any length with nobody reading yet.
bool handOnStandardInput(const QString& secret)
{
    const int fd = ::memfd_create(kClipHelperName, MFD_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray utf8 = secret.toUtf8();
    const bool handed =
        writeAll(fd, utf8.constData(), std::size_t(utf8.size())) && ::lseek(fd, 0, SEEK_SET) == 0 && ::dup2(fd, STDIN_FILENO) == STDIN_FILENO;
    const int error = errno;
    crypto::cleanse(utf8);
    ::close(fd);
    errno = error;
    return handed;
}

}  // namespace

std::optional<QString> clipHelperPath()
{
    // Where the executable itself lies, not where argv[0] points: a link to quorly-cli on
    // the PATH still finds the helper installed beside the real file.
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString path = exe.isEmpty() ? QString() : QFileInfo(exe).absolutePath() + u'/' + kClipHelperName;
    if (path.isEmpty() || ::access(QFile::encodeName(path).constData(), X_OK) != 0) {
        printError(QStringLiteral("clip cannot hold the clipboard: %1, installed beside quorly-cli for it, is "
                                  "missing.")
                       .arg(path.isEmpty() ? QString::fromLatin1(kClipHelperName) : path));
        return std::nullopt;
    }
    return path;
}

int execClipHelper(const QString& path, qint64 seconds, const QString& what, const QString& name, QString& secret)
{
    const bool handed = handOnStandardInput(secret);
    cleanseString(secret);
    if (handed) {
        QByteArray program = QFile::encodeName(path);
        QByteArray wait = QByteArray::number(seconds);
        QByteArray field = what.toLocal8Bit();
        QByteArray entry = name.toLocal8Bit();
        char* argv[] = {program.data(), wait.data(), field.data(), entry.data(), nullptr};
        std::fflush(nullptr);
        ::execv(argv[0], argv);
    }
    printError(QStringLiteral("clip cannot start %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return ExitFailure;
}

}  // namespace quorly::cli
