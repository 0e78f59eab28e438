// quorly-cli-clip: holds one field of an entry on the desktop's clipboard for
// `quorly-cli clip`, which execs it with the field on standard input (cli/ClipHelper.h).
// Its messages are quorly-cli's, as the user ran that.
#include "cli/Cli.h"
#include "cli/ClipHelper.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardSecretTimer.h"
#include "platform/Crypto.h"
#include "platform/ProcessProtection.h"
#include "platform/TerminationSignals.h"
#include "platform/desktop/QtClipboard.h"
#include "store/Globals.h"

#include <QGuiApplication>
#include <QTextStream>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

using namespace quorly;
using namespace quorly::cli;

namespace {

void printCliError(const QString& message)
{
    QTextStream(stderr) << "quorly-cli: " << message << Qt::endl;
}

// Empties the memory file quorly-cli handed over, and lets it go: for as long as the
// clipboard is held, the field is in this process's memory alone. Its freed pages would
// keep the bytes until reused, so they are overwritten first.
void emptyHandedFile()
{
    char target[32] = {};
    struct stat st {};
    if (::readlink("/proc/self/fd/0", target, sizeof target - 1) < 0 ||
        std::strncmp(target, "/memfd:", 7) != 0 || ::fstat(STDIN_FILENO, &st) != 0)
        return;
    static const char zeros[65536] = {};
    for (off_t at = 0; at < st.st_size;) {
        const std::size_t length = std::size_t(std::min<off_t>(sizeof zeros, st.st_size - at));
        const ssize_t n = ::pwrite(STDIN_FILENO, zeros, length, at);
        if (n <= 0)
            break;
        at += n;
    }
    [[maybe_unused]] const int truncated = ::ftruncate(STDIN_FILENO, 0);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
}

// The field: standard input to its end, as UTF-8.
QString readField()
{
    std::vector<char, crypto::CleansingAllocator<char>> bytes;
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        bytes.reserve(std::size_t(st.st_size));
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    crypto::cleanse(chunk, sizeof chunk);
    emptyHandedFile();
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// The application on the display's server; nullptr after a message when it cannot be
// reached, which Qt would answer by aborting with a message of its own.
std::unique_ptr<QGuiApplication> displayApplication()
{
    // Qt's own options never come from the command line: a NAME such as "-display" is
    // the entry's.
    static int argc = 1;
    static char name[] = "quorly-cli";
    static char* argv[] = {name, nullptr};
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "xcb") {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const bool reached = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        if (!reached) {
            printCliError(QStringLiteral("clip cannot reach the display %1.").arg(qEnvironmentVariable("DISPLAY")));
            return nullptr;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    return std::make_unique<QGuiApplication>(argc, argv);
}

QString announcement(const QString& what, const QString& name, std::optional<std::chrono::milliseconds> delay)
{
    QString text = QStringLiteral("Copied the %1 of '%2' to the clipboard; ").arg(what, name);
    if (!delay)
        return text + QStringLiteral("it stays until something else is copied (Ctrl+C clears it now).");
    const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(*delay).count();
    return text + QStringLiteral("it will be cleared in %1 %2.")
                      .arg(seconds)
                      .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
}

}  // namespace

int main(int argc, char** argv)
{
    protectProcessSecrets();
    bool ok = argc == 4;
    const qint64 seconds = ok ? QByteArray(argv[1]).toLongLong(&ok) : 0;
    QString field = ok ? readField() : QString();
    if (!ok || seconds < 0 || field.isEmpty()) {
        cleanseString(field);
        QTextStream(stderr) << kClipHelperName
                            << ": holds a field on the clipboard for `quorly-cli clip`, which starts it; see "
                               "quorly-cli --help."
                            << Qt::endl;
        return ExitUsage;
    }
    const QString what = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    const std::optional<std::chrono::milliseconds> delay = clipboardClearDelay(seconds);

    const std::unique_ptr<QGuiApplication> app = displayApplication();
    if (!app) {
        cleanseString(field);
        return ExitFailure;
    }
    // Every field goes as a secret, so clipboard managers keep none of them in their
    // history and the wait below can tell whether the clipboard still holds it.
    setClipboard(std::make_shared<QtClipboard>());
    ClipboardSecretTimer timer;
    QTextStream out(stdout);
    QObject::connect(&timer, &ClipboardSecretTimer::ended, [&out](ClipboardSecretTimer::Outcome outcome) {
        out << (outcome == ClipboardSecretTimer::Outcome::Cleared
                    ? QStringLiteral("Cleared the clipboard.")
                    : QStringLiteral("The clipboard holds something newer now; left it as it is."))
            << Qt::endl;
        QCoreApplication::quit();
    });
    // Ctrl+C or a kill ends the wait early, and the field goes with it.
    handleTerminationSignals(&timer, [&timer] { timer.clearNow(); });
    timer.copy(field, delay);
    cleanseString(field);
    out << announcement(what, name, delay) << Qt::endl;
    QCoreApplication::exec();
    setClipboard(nullptr);
    return ExitOk;
}
