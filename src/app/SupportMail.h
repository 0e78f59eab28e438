#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace quorly::SupportMail {

// Decided here: the address support mail goes to (the build may name another with
// -DQUORLY_SUPPORT_ADDRESS=...).
QString address();

// What the message tells about the user's system.
struct DiagnosticInfo {
    QString osVersion;
    QString preferences;       // the description of the whole store
    QStringList logLines;      // the journal's lines about the program
    QStringList crashReports;  // newest first
};

// Gathers it: the OS version, the preferences, the lines of `journal` (the user journal
// in the program, a scratch text in tests) that mention the program, and the reports in
// `crashFolder`.
DiagnosticInfo gather(const std::function<QString()>& journal, const QString& crashFolder);

// Every key of the store with its value, one "key = value;" a line between braces.
QString preferencesDescription();

// The message: the opening text with the OS version, then the preferences, the log
// entries and one section per crash report, each under its separator line.
QString body(const DiagnosticInfo& info);

// Mail programs are handed the message on a command line, and a link longer than some
// tens of kilobytes is cut or refused on the way; this one stays well below that.
constexpr int kSafeLinkLength = 32000;

// The "mailto:" link with the subject and `body`, percent-escaped as UTF-8 (line breaks
// as CR LF, as mail links want them). A body that would make the link longer than
// `maxLength` is cut after its last whole line that fits and ends with a note saying so
// and where the full crash reports are (`crashFolder`).
QByteArray link(const QString& address, const QString& body, const QString& crashFolder,
                int maxLength = kSafeLinkLength);

}  // namespace quorly::SupportMail
