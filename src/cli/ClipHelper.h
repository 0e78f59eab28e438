#pragma once

#include <QString>

#include <optional>

// `quorly-cli clip` and the program that holds the clipboard for it. quorly-cli loads no
// display library, so that every other command starts without paying for one; `clip`
// reads the package itself, then becomes quorly-cli-clip by exec: the same process, so
// the terminal's Ctrl+C, the output and the exit status stay those of one command.
//
//   quorly-cli-clip SECONDS WHAT NAME   < the field's text in UTF-8
//
// SECONDS is the wait (0: until something else is copied), WHAT the field as the messages
// name it ("password", "user ID", ...) and NAME the entry's. The field itself comes on
// standard input, from a file that lives in memory only: arguments and environment can be
// read by other processes.
namespace quorly::cli {

inline constexpr char kClipHelperName[] = "quorly-cli-clip";

// The helper installed beside the running quorly-cli; nullopt after a message when it
// is not there.
std::optional<QString> clipHelperPath();

// Replaces this process with the helper at `path`, handing it `secret`, which is wiped
// here either way. Returns only when that fails (after a message), with the exit status.
int execClipHelper(const QString& path, qint64 seconds, const QString& what, const QString& name, QString& secret);

}  // namespace quorly::cli
