#pragma once

#include <QString>

namespace quorly::CrashHandler {

// Installs the program's crash handler for the fatal signals (segmentation fault, bus
// error, illegal instruction, arithmetic error, abort). On a crash it writes a short
// report into `folder` (created here, private to the user): the program and its
// `version`, the time, the signal and the backtrace of the crashing thread. It never
// writes memory contents: no registers, no stack words, no strings of the program's.
// Then the signal takes its ordinary course (a core dump where the system keeps them).
// Returns false when the folder cannot be made; the program runs on without a handler.
bool install(const QString& folder, const QString& version);

}  // namespace quorly::CrashHandler
