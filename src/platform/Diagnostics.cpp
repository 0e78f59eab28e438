#include "platform/Diagnostics.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>

namespace quorly::Diagnostics {

namespace {

// A report is a page or two; anything bigger was not written by the crash handler, and
// the mail it goes into is cut far below this anyway.
constexpr qint64 kMostOfOneReport = 64 * 1024;
constexpr int kMostReports = 20;
const QString kProgram = QStringLiteral("quorly");

QString absoluteEnvironmentFolder(const char* name)
{
    // The base-directory rules: a relative path in the variable is to be ignored.
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? value : QString();
}

// The value of one line of os-release: the text after "=", without its quotes and
// with the shell's backslash escapes undone.
QString osReleaseValue(QStringView raw)
{
    raw = raw.trimmed();
    if (raw.size() >= 2 && (raw.front() == u'"' || raw.front() == u'\'') && raw.back() == raw.front())
        raw = raw.mid(1, raw.size() - 2);
    QString value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) == u'\\' && i + 1 < raw.size())
            ++i;
        value.append(raw.at(i));
    }
    return value;
}

}  // namespace

QString crashReportsFolder()
{
    QString state = absoluteEnvironmentFolder("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/Quorly/CrashReports"));
}

QStringList crashReports(const QString& folder)
{
    const QDir base(folder);
    QStringList names;
    // Regular files only: a pipe or a device put there would never finish reading, and
    // a link may point at anything.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = base.relativeFilePath(it.next());
        if (relative.startsWith(QLatin1String("Quorly")))
            names.append(relative);
    }
    // The reports are named by their time, so the newest sort last; they come first, as
    // the ones a cut of the mail should keep.
    std::sort(names.begin(), names.end(), std::greater<>());
    QStringList reports;
    for (const QString& name : names) {
        if (reports.size() == kMostReports)
            break;
        QFile file(base.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.read(kMostOfOneReport)).trimmed();
        if (!text.isEmpty())
            reports.append(text);
    }
    return reports;
}

QString userJournal(int timeoutMsec)
{
    if (QStandardPaths::findExecutable(QStringLiteral("journalctl")).isEmpty())
        return {};
    const QStringList common = {QStringLiteral("--user"), QStringLiteral("--no-pager"), QStringLiteral("--quiet"),
                                QStringLiteral("--output=short-iso")};
    // The journal picks the program's lines itself where it can search; a journalctl
    // built without pattern matching refuses that, and then the last lines of the
    // whole journal are searched here instead.
    const QList<QStringList> attempts = {
        common + QStringList{QStringLiteral("--lines=300"), QStringLiteral("--case-sensitive=false"),
                             QStringLiteral("--grep=") + kProgram},
        common + QStringList{QStringLiteral("--lines=5000")},
    };
    for (const QStringList& arguments : attempts) {
        QProcess journalctl;
        journalctl.setProcessChannelMode(QProcess::SeparateChannels);
        journalctl.start(QStringLiteral("journalctl"), arguments, QIODevice::ReadOnly);
        if (!journalctl.waitForFinished(timeoutMsec)) {
            journalctl.kill();
            journalctl.waitForFinished(1000);
            return {};
        }
        const QByteArray output = journalctl.readAllStandardOutput();
        // With --grep, 1 with no output means that nothing matched.
        if (journalctl.exitStatus() == QProcess::NormalExit &&
            (journalctl.exitCode() == 0 || (journalctl.exitCode() == 1 && output.isEmpty() &&
                                            journalctl.readAllStandardError().isEmpty())))
            return QString::fromUtf8(output);
    }
    return {};
}

QStringList linesMentioningProgram(const QString& journal)
{
    QStringList lines;
    for (QStringView line : QStringView(journal).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.contains(kProgram, Qt::CaseInsensitive))
            lines.append(line.toString());
    }
    return lines;
}

QString osVersion(const QString& osRelease, const QString& kernelVersion)
{
    QString pretty, name, version;
    for (QStringView line : QStringView(osRelease).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView key = line.left(equals).trimmed();
        const QString value = osReleaseValue(line.mid(equals + 1));
        if (key == u"PRETTY_NAME")
            pretty = value;
        else if (key == u"NAME")
            name = value;
        else if (key == u"VERSION")
            version = value;
    }
    QString system = !pretty.isEmpty() ? pretty : QStringList{name, version}.join(u' ').trimmed();
    if (!kernelVersion.isEmpty())
        system = system.isEmpty() ? kernelVersion : system + QStringLiteral(", ") + kernelVersion;
    return system.isEmpty() ? QStringLiteral("unknown") : system;
}

QString osVersion()
{
    QString release;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            release = QString::fromUtf8(file.read(64 * 1024));
            break;
        }
    }
    const QString kernel = QSysInfo::kernelType() == QLatin1String("linux") ? QStringLiteral("Linux")
                                                                              : QSysInfo::kernelType();
    return osVersion(release, kernel + u' ' + QSysInfo::kernelVersion());
}

}  // namespace quorly::Diagnostics
