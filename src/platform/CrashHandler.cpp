#include "platform/CrashHandler.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <ctime>

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace quorly::CrashHandler {

namespace {

// Everything the handler needs is prepared at installation: inside a signal handler
// only async-signal-safe calls are allowed, so no allocation, no Qt, no stdio.
char gFolder[3072];
char gHeader[512];
std::size_t gHeaderLength = 0;
// A stack of its own, so that a crash from running out of stack can still be reported.
alignas(16) char gSignalStack[64 * 1024];
volatile sig_atomic_t gCrashing = 0;

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS};

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV (segmentation fault)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGABRT:
        return "SIGABRT (abort)";
    case SIGSYS:
        return "SIGSYS (bad system call)";
    default:
        return "unknown signal";
    }
}

// A fixed buffer the handler writes its text into.
struct Line {
    char text[4096];
    std::size_t length = 0;

    void append(const char* s)
    {
        while (*s && length + 1 < sizeof text)
            text[length++] = *s++;
    }
    void append(unsigned long long number, int minimumDigits = 1)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = char('0' + number % 10);
            number /= 10;
        } while (number > 0 && count < int(sizeof digits));
        while (count < minimumDigits && count < int(sizeof digits))
            digits[count++] = '0';
        while (count > 0 && length + 1 < sizeof text)
            text[length++] = digits[--count];
    }
    void writeTo(int fd) const
    {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t written = ::write(fd, text + done, length - done);
            if (written <= 0)
                return;
            done += std::size_t(written);
        }
    }
};

struct CivilTime {
    long long year;
    unsigned month, day, hour, minute, second;
};

// The calendar date of a count of seconds since 1970 (UTC), without gmtime, which is
// not safe in a signal handler (days to civil date after Howard Hinnant's algorithm).
CivilTime civilTime(long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilTime t{};
    t.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    t.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    t.year = (long long)yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = unsigned(rest / 3600);
    t.minute = unsigned(rest / 60 % 60);
    t.second = unsigned(rest % 60);
    return t;
}

void appendDate(Line& line, const CivilTime& t, const char* dateTimeSeparator, const char* timeSeparator)
{
    line.append((unsigned long long)t.year, 4);
    line.append("-");
    line.append(t.month, 2);
    line.append("-");
    line.append(t.day, 2);
    line.append(dateTimeSeparator);
    line.append(t.hour, 2);
    line.append(timeSeparator);
    line.append(t.minute, 2);
    line.append(timeSeparator);
    line.append(t.second, 2);
}

void writeReport(int signal)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const CivilTime when = civilTime(now.tv_sec);
    const unsigned long long pid = (unsigned long long)::getpid();

    Line path;
    path.append(gFolder);
    path.append("/Quorly_");
    appendDate(path, when, "-", "");
    path.append("_");
    path.append(pid);
    path.append(".crash");
    path.text[path.length] = '\0';
    const int fd = ::open(path.text, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;

    Line head;
    head.append("Date: ");
    appendDate(head, when, " ", ":");
    head.append(" UTC\nProcess: ");
    head.append(pid);
    head.append("\nSignal: ");
    head.append((unsigned long long)signal);
    head.append(" ");
    head.append(signalName(signal));
    head.append("\n\nBacktrace of the crashed thread:\n");
    [[maybe_unused]] const ssize_t written = ::write(fd, gHeader, gHeaderLength);
    head.writeTo(fd);
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
}

extern "C" void onFatalSignal(int signal, siginfo_t*, void*)
{
    // The handler was reset to the default on entry; a second crash inside it ends the
    // process at once.
    if (!gCrashing) {
        gCrashing = 1;
        writeReport(signal);
    }
    // Blocked until this returns, then the default action: the ordinary end of a crash.
    ::raise(signal);
}

}  // namespace

bool install(const QString& folder, const QString& version)
{
    const QByteArray encodedFolder = QFile::encodeName(QDir::cleanPath(folder));
    if (encodedFolder.isEmpty() || std::size_t(encodedFolder.size()) >= sizeof gFolder - 64)
        return false;
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::memcpy(gFolder, encodedFolder.constData(), std::size_t(encodedFolder.size()));
    gFolder[encodedFolder.size()] = '\0';

    const QByteArray header = (QStringLiteral("Quorly crash report\nVersion: ") + version + u'\n').toUtf8();
    gHeaderLength = std::min(std::size_t(header.size()), sizeof gHeader);
    std::memcpy(gHeader, header.constData(), gHeaderLength);

    // The first backtrace loads the unwinder, which allocates: done now, not in a crash.
    void* frame[1];
    ::backtrace(frame, 1);

    stack_t stack{};
    stack.ss_sp = gSignalStack;
    stack.ss_size = sizeof gSignalStack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    for (int signal : kFatalSignals)
        ::sigaction(signal, &action, nullptr);
    return true;
}

}  // namespace quorly::CrashHandler
