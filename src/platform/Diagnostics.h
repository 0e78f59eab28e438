#pragma once

#include <QString>
#include <QStringList>

namespace quorly::Diagnostics {

// Where the program's own crash handler leaves its reports:
// $XDG_STATE_HOME (or ~/.local/state)/Quorly/CrashReports.
QString crashReportsFolder();

// The readable crash reports of the program in `folder` and below (files whose path
// within it begins with "Quorly"), newest first, each cut to a size a mail can carry.
// A report that cannot be read, or says nothing, is left out.
QStringList crashReports(const QString& folder);

// The user's journal as text (journalctl --user), or nothing where there is no journal
// or it does not answer within `timeoutMsec`.
QString userJournal(int timeoutMsec = 5000);

// The lines of `journal` that mention the program, in their order.
QStringList linesMentioningProgram(const QString& journal);

// The operating system in words, from the text of /etc/os-release ("PRETTY_NAME", else
// "NAME" and "VERSION") and the kernel's version; either may be empty.
QString osVersion(const QString& osRelease, const QString& kernelVersion);
// The same for this machine.
QString osVersion();

}  // namespace quorly::Diagnostics
