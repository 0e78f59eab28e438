#include "store/PackageLock.h"

#include "store/PackageLeftovers.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace quorly {

std::optional<PackageLock> PackageLock::acquire(const QString& packagePath, QString* error,
                                                std::chrono::milliseconds patience)
{
    const auto fail = [&](const QString& message) -> std::optional<PackageLock> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    const int fd = ::open(QFile::encodeName(packagePath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("%1 cannot be opened for writing: %2.")
                        .arg(packagePath, QString::fromLocal8Bit(std::strerror(errno))));

    // Polled rather than blocking, so that the wait has an end: a writer stopped in a
    // debugger or by Ctrl+Z must not freeze every other one for good.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        const int reason = errno;
        if (reason == EINTR)
            continue;
        if (reason != EWOULDBLOCK) {
            // ENOLCK, EOPNOTSUPP, EBADF (an NFS mount emulating flock with POSIX locks
            // refuses an exclusive lock on a read-only descriptor): nothing to wait for.
            return PackageLock(fd, false);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return fail(QStringLiteral("%1 is being changed by another program that does not finish. "
                                       "Nothing was written; try again once it has ended.")
                            .arg(packagePath));
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    // No live writer can be inside the package now: whatever temporaries it holds were
    // left by writers that died.
    removePackageLeftovers(fd);
    return PackageLock(fd, true);
}

PackageLock::PackageLock(PackageLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), exclusive_(other.exclusive_)
{
}

PackageLock& PackageLock::operator=(PackageLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        exclusive_ = other.exclusive_;
    }
    return *this;
}

PackageLock::~PackageLock()
{
    release();
}

void PackageLock::release()
{
    // Closing the only descriptor of the lock releases it.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

PackageWriterLock::Hold& PackageWriterLock::Hold::operator=(Hold&& other) noexcept
{
    if (this != &other) {
        release();
        owner_ = std::exchange(other.owner_, nullptr);
    }
    return *this;
}

void PackageWriterLock::Hold::release()
{
    PackageWriterLock* owner = std::exchange(owner_, nullptr);
    if (!owner || --owner->depth_ > 0)
        return;
    owner->lock_.reset();
    if (owner->released_)
        owner->released_();
}

PackageWriterLock::Hold PackageWriterLock::hold(QString* error)
{
    if (depth_ == 0) {
        lock_ = PackageLock::acquire(packagePath_, error);
        if (!lock_)
            return Hold();
    }
    ++depth_;
    return Hold(this);
}

}  // namespace quorly
