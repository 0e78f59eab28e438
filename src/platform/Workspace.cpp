#include "platform/Workspace.h"

#include "platform/DesktopFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace quorly {

namespace {

class NoWorkspace : public Workspace {
public:
    bool openURLWithBrowser(const Browser&, const QString&) override { return false; }
    bool openURL(const QString&) override { return false; }
};

std::shared_ptr<Workspace>& installedWorkspace()
{
    static std::shared_ptr<Workspace> current;
    return current;
}

QString absoluteVariable(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.startsWith(u'/') ? value : fallback;
}

QStringList absoluteList(const char* name, const QString& fallback)
{
    QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        value = fallback;
    QStringList dirs;
    for (const QString& dir : value.split(u':', Qt::SkipEmptyParts)) {
        if (dir.startsWith(u'/'))
            dirs << dir;
    }
    return dirs;
}

}  // namespace

Workspace& workspace()
{
    static NoWorkspace none;
    const auto& current = installedWorkspace();
    return current ? *current : static_cast<Workspace&>(none);
}

void setWorkspace(std::shared_ptr<Workspace> w)
{
    installedWorkspace() = std::move(w);
}

QStringList mimeAppsListFiles()
{
    QStringList desktops;
    for (const QString& name : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts)) {
        if (!name.contains(u'/'))
            desktops << name.toLower();
    }
    QStringList dirs{absoluteVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"))};
    dirs << absoluteList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs << applicationDirs();
    QStringList files;
    for (const QString& dir : dirs) {
        for (const QString& desktop : desktops)
            files << dir + u'/' + desktop + QStringLiteral("-mimeapps.list");
        files << dir + QStringLiteral("/mimeapps.list");
    }
    return files;
}

std::optional<Browser> defaultBrowser(const QString& scheme, const QStringList& listFiles,
                                      const QStringList& applicationDirs, const QString& locale)
{
    const QString http = QStringLiteral("x-scheme-handler/http");
    const QString https = QStringLiteral("x-scheme-handler/https");
    const QStringList types = scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0
                                  ? QStringList{http, https}
                                  : QStringList{https, http};
    for (const QString& type : types) {
        for (const QString& listFile : listFiles) {
            const std::optional<DesktopFile> list = DesktopFile::read(listFile, QStringLiteral("Default Applications"));
            if (!list)
                continue;
            // A listed application that is not installed (any more) gives way to the
            // next one, in this file and then in the files after it.
            for (const QString& entry : list->list(type)) {
                const QString id = entry.trimmed();
                const std::optional<QString> path = desktopEntryPath(id, applicationDirs);
                if (!path)
                    continue;
                if (std::optional<Browser> browser = applicationFrom(id, *path, locale))
                    return browser;
            }
        }
    }
    return std::nullopt;
}

XdgWorkspace::XdgWorkspace(QString lastResort) : lastResort_(std::move(lastResort)) {}

bool XdgWorkspace::openURLWithBrowser(const Browser& browser, const QString& url)
{
    const std::optional<LaunchCommand> command = expandExec(browser.exec, url);
    return command && start(command->program, command->arguments);
}

bool XdgWorkspace::openURL(const QString& url)
{
    const QString scheme = url.section(u':', 0, 0);
    if (const std::optional<Browser> browser = defaultBrowser(scheme, mimeAppsListFiles(), applicationDirs(),
                                                              messagesLocale());
        browser && openURLWithBrowser(*browser, url))
        return true;
    return !lastResort_.isEmpty() && start(lastResort_, {url});
}

bool XdgWorkspace::start(const QString& program, const QStringList& arguments) const
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // Started in the home folder, as a launcher would, not wherever Quorly was started;
    // a home that does not exist must not keep the browser from starting.
    if (QFileInfo(QDir::homePath()).isDir())
        process.setWorkingDirectory(QDir::homePath());
    if (!dropped_.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : dropped_)
            environment.remove(name);
        process.setProcessEnvironment(environment);
    }
    return process.startDetached();
}

}  // namespace quorly
