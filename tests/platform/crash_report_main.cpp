// crash_report FOLDER segv|abort|stack: installs the crash handler over FOLDER, keeps a
// secret in its memory, then crashes the way it is told.
#include "platform/CrashHandler.h"

#include <QString>

#include <cstdlib>
#include <cstring>

#include <sys/resource.h>

namespace {

volatile bool gDeeper = true;

// Runs out of stack: the flag is never cleared, but the compiler cannot know that, and
// the frame's use after the call keeps it from becoming a loop.
int descend(int depth)
{
    volatile char frame[1024];
    frame[0] = char(depth);
    if (gDeeper)
        return descend(depth + 1) + frame[0];
    return frame[0];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);  // a test leaves no core files behind
    if (!quorly::CrashHandler::install(QString::fromLocal8Bit(argv[1]), QStringLiteral("9.9-test")))
        return 3;
    // What the report must never show.
    volatile char secret[32];
    std::strcpy(const_cast<char*>(secret), "hunter2-SECRET-hunter2");

    if (std::strcmp(argv[2], "abort") == 0)
        std::abort();
    if (std::strcmp(argv[2], "stack") == 0)
        return descend(0);
    int* volatile nowhere = nullptr;
    *nowhere = secret[0];
    return 0;
}
