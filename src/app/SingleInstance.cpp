#include "app/SingleInstance.h"

#include "store/TempFolder.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <cstring>
#include <thread>

namespace quorly {

namespace {

// The first field of every hand-over, so that a later version can tell what it gets.
const QByteArray kGreeting = "quorly-open-1";
const QByteArray kAnswer = "OK\n";
constexpr qsizetype kMaxMessage = 1 << 20;
constexpr auto kConnectPatience = std::chrono::seconds(5);
constexpr int kAnswerPatienceMsec = 10000;

QString privateFolder()
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && TempFolder::isPrivateFolder(runtime))
        return runtime;
    // Without a runtime folder: one of our own in /tmp, made private, and not a folder
    // or a link someone else put there under that name.
    const QString own = QStringLiteral("/tmp/quorly-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return TempFolder::isPrivateFolder(own) ? own : QString();
}

// The display the program shows its windows on, fit for a file name.
QString displayKey()
{
    QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        display = qgetenv("WAYLAND_DISPLAY");
    QString key = QString::fromLocal8Bit(display);
    for (QChar& c : key) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return key.isEmpty() ? QStringLiteral("none") : key;
}

bool fillAddress(const QString& path, sockaddr_un* address)
{
    const QByteArray native = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, native.constData(), size_t(native.size()));
    return true;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The client's side: hands `files` over and waits for the running program's answer.
bool handOver(const QString& socketPath, const QStringList& files, QString* error)
{
    sockaddr_un address;
    if (!fillAddress(socketPath, &address))
        return false;
    // The running program may be between taking its lock and listening: it is given a
    // moment before this start goes its own way.
    const auto deadline = std::chrono::steady_clock::now() + kConnectPatience;
    int fd = -1;
    for (;;) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        ::close(fd);
        fd = -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            if (error)
                *error = QStringLiteral("the running Quorly does not answer at %1.").arg(socketPath);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    QByteArray message = kGreeting + '\0';
    for (const QString& file : files)
        message += QFile::encodeName(file) + '\0';
    bool answered = writeAll(fd, message) && ::shutdown(fd, SHUT_WR) == 0;
    if (answered) {
        QByteArray reply;
        pollfd readable{fd, POLLIN, 0};
        char buffer[16];
        while (reply.size() < kAnswer.size() && ::poll(&readable, 1, kAnswerPatienceMsec) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
        answered = reply == kAnswer;
    }
    ::close(fd);
    if (!answered && error)
        *error = QStringLiteral("the running Quorly did not take the files.");
    return answered;
}

// One hand-over on the running program's side: read to the end, answer, report.
class HandOverConnection : public QObject {
public:
    HandOverConnection(int fd, SingleInstance* owner, std::function<void(const QStringList&)> deliver)
        : QObject(owner), fd_(fd), deliver_(std::move(deliver)), notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    {
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readSome(); });
        // A client that never finishes must not keep its descriptor for good.
        QTimer::singleShot(kAnswerPatienceMsec, this, [this] { deleteLater(); });
    }
    ~HandOverConnection() override { ::close(fd_); }

private:
    void readSome()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                received_.append(buffer, n);
                if (received_.size() > kMaxMessage)
                    return finish(false);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            return finish(n == 0);
        }
    }

    void finish(bool complete)
    {
        notifier_->setEnabled(false);
        QList<QByteArray> fields = received_.split('\0');
        if (!fields.isEmpty() && fields.last().isEmpty())
            fields.removeLast();
        if (complete && !fields.isEmpty() && fields.first() == kGreeting) {
            QStringList files;
            for (qsizetype i = 1; i < fields.size(); ++i)
                files << QFile::decodeName(fields.at(i));
            // The answer goes first: the files open in the event loop, and opening may
            // ask for passwords, which the other start must not wait for.
            int flags = ::fcntl(fd_, F_GETFL);
            ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
            writeAll(fd_, kAnswer);
            deliver_(files);
        }
        deleteLater();
    }

    int fd_;
    std::function<void(const QStringList&)> deliver_;
    QSocketNotifier* notifier_;
    QByteArray received_;
};

}  // namespace

QString SingleInstance::socketPath()
{
    const QString folder = privateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/quorly-%1.socket").arg(displayKey());
}

SingleInstance::Role SingleInstance::start(const QStringList& files, std::unique_ptr<SingleInstance>* instance,
                                           QString* error)
{
    const QString path = socketPath();
    sockaddr_un address;
    if (path.isEmpty() || !fillAddress(path, &address))
        return Role::Alone;

    // Whoever holds the lock is the running program; the kernel lets go of it however
    // that program ends, so a crashed one never keeps a later start from running.
    const QByteArray lockPath = QFile::encodeName(path.chopped(int(qstrlen(".socket"))) + QStringLiteral(".lock"));
    const int lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return Role::Alone;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        return handOver(path, files, error) ? Role::HandedOver : Role::Alone;
    }

    // A socket left by a program that crashed is in the way of ours.
    ::unlink(QFile::encodeName(path).constData());
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 8) != 0) {
        if (error)
            *error = QStringLiteral("cannot listen at %1: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (listenFd >= 0)
            ::close(listenFd);
        ::close(lockFd);
        return Role::Alone;
    }
    instance->reset(new SingleInstance(lockFd, listenFd, path));
    return Role::Primary;
}

SingleInstance::SingleInstance(int lockFd, int listenFd, QString socketPath)
    : lockFd_(lockFd), listenFd_(listenFd), socketPath_(std::move(socketPath)),
      notifier_(new QSocketNotifier(listenFd, QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, [this] { acceptConnections(); });
}

SingleInstance::~SingleInstance()
{
    // The socket goes while the lock is still held: a start that takes the lock next
    // makes its own.
    ::unlink(QFile::encodeName(socketPath_).constData());
    ::close(listenFd_);
    ::close(lockFd_);
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        // The folder is the user's own; the check keeps it so should its mode ever widen.
        ucred peer {};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        new HandOverConnection(fd, this, [this](const QStringList& files) { emit filesHandedOver(files); });
    }
}

}  // namespace quorly
