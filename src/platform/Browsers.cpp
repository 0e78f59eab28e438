#include "platform/Browsers.h"

#include "entries/Entry.h"
#include "platform/DesktopFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace quorly {

namespace {

const QString kHttpsHandler = QStringLiteral("x-scheme-handler/https");

bool isAbsolute(const QString& path) { return path.startsWith(u'/'); }

// Desktop files below one applications folder with their ids, in a fixed order.
QList<QPair<QString, QString>> desktopFilesIn(const QString& dir)
{
    QList<QPair<QString, QString>> files;  // id, path
    const QDir base(dir);
    QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString id = base.relativeFilePath(path);
        id.replace(u'/', u'-');
        files.append({id, path});
    }
    // Two files may claim one id ("kde/app.desktop" and "kde-app.desktop"); which one
    // is taken must not depend on the order the file system lists them in.
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    return files;
}

// The desktop file's [Desktop Entry] group when it describes an application that is
// not Hidden, with its Browser fields; none otherwise.
std::optional<std::pair<Browser, DesktopFile>> readApplication(const QString& id, const QString& path,
                                                               const QString& locale)
{
    std::optional<DesktopFile> file = DesktopFile::read(path);
    if (!file)
        return std::nullopt;
    if (file->string(QStringLiteral("Type")) != u"Application" || file->boolean(QStringLiteral("Hidden")))
        return std::nullopt;
    Browser b;
    b.title = file->localeString(QStringLiteral("Name"), locale);
    b.identifier = id;
    b.exec = file->string(QStringLiteral("Exec"));
    b.path = path;
    // Like an application without a bundle identifier: one we could not name or start
    // is not offered.
    if (b.title.isEmpty() || !expandExec(b.exec, QStringLiteral("https://x")))
        return std::nullopt;
    return std::pair{b, *file};
}

std::optional<Browser> browserFrom(const QString& id, const QString& path, const QString& locale)
{
    const auto app = readApplication(id, path, locale);
    if (!app || app->second.boolean(QStringLiteral("NoDisplay")))
        return std::nullopt;
    const QStringList types = app->second.list(QStringLiteral("MimeType"));
    const bool handlesHttps = std::any_of(types.begin(), types.end(), [](const QString& t) {
        return t.trimmed().compare(kHttpsHandler, Qt::CaseInsensitive) == 0;
    });
    if (!handlesHttps)
        return std::nullopt;
    return app->first;
}

}  // namespace

QStringList applicationDirs()
{
    QStringList dirs;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!isAbsolute(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    dirs << dataHome + QStringLiteral("/applications");

    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& d : dataDirs.split(u':', Qt::SkipEmptyParts)) {
        if (isAbsolute(d))
            dirs << d + QStringLiteral("/applications");
    }
    return dirs;
}

QList<Browser> discoverBrowsers(const QStringList& dirs, const QString& locale)
{
    QSet<QString> seenIds;
    QList<Browser> browsers;
    for (const QString& dir : dirs) {
        for (const auto& [id, path] : desktopFilesIn(dir)) {
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            if (std::optional<Browser> b = browserFrom(id, path, locale))
                browsers.append(*b);
        }
    }
    std::sort(browsers.begin(), browsers.end(), browsersSort);
    return browsers;
}

QList<Browser> discoverBrowsers()
{
    return discoverBrowsers(applicationDirs(), messagesLocale());
}

std::optional<QString> desktopEntryPath(const QString& id, const QStringList& dirs)
{
    if (!id.endsWith(QLatin1String(".desktop")) || id.contains(u'/'))
        return std::nullopt;
    for (const QString& dir : dirs) {
        // Most ids name a file right in the folder; those of subfolders need the walk.
        const QString direct = dir + u'/' + id;
        if (QFileInfo(direct).isFile())
            return direct;
        for (const auto& [found, path] : desktopFilesIn(dir)) {
            if (found == id)
                return path;
        }
    }
    return std::nullopt;
}

std::optional<Browser> applicationFrom(const QString& id, const QString& path, const QString& locale)
{
    const auto app = readApplication(id, path, locale);
    return app ? std::optional<Browser>(app->first) : std::nullopt;
}

bool browsersSort(const Browser& a, const Browser& b)
{
    const int byTitle = QString::compare(a.title, b.title, Qt::CaseSensitive);
    if (byTitle != 0)
        return byTitle < 0;
    return a.identifier < b.identifier;
}

namespace BrowserPopup {

QStringList titles(const QList<Browser>& browsers)
{
    QStringList t{DefaultBrowserTitle, BuiltInTitle};
    for (const Browser& b : browsers)
        t << b.title;
    return t;
}

int indexForEntry(const Entry& entry, const QList<Browser>& browsers)
{
    if (entry.boolean(EntryKey::UseCWBrowser))
        return BuiltInIndex;
    if (!entry.contains(EntryKey::Browser))
        return DefaultBrowserIndex;
    const QString id = entry.string(EntryKey::BrowserBundleID);
    const QString title = entry.string(EntryKey::Browser);
    if (!id.isEmpty()) {
        for (int i = 0; i < browsers.size(); ++i) {
            if (browsers.at(i).identifier == id)
                return FirstFoundIndex + i;
        }
    }
    for (int i = 0; i < browsers.size(); ++i) {
        if (browsers.at(i).title == title)
            return FirstFoundIndex + i;
    }
    return DefaultBrowserIndex;
}

const Browser* browserForEntry(const Entry& entry, const QList<Browser>& browsers)
{
    const int index = indexForEntry(entry, browsers);
    return index >= FirstFoundIndex ? &browsers.at(index - FirstFoundIndex) : nullptr;
}

}  // namespace BrowserPopup

std::optional<LaunchCommand> expandExec(const QString& exec, const QString& url)
{
    QStringList args;
    QString current;
    bool inArgument = false;  // something (text, quotes or a URL) makes this an argument
    bool onlyDroppedCodes = false;
    bool quoted = false;
    bool urlUsed = false;

    auto finish = [&] {
        if (inArgument && !onlyDroppedCodes)
            args << current;
        current.clear();
        inArgument = false;
        onlyDroppedCodes = false;
    };
    auto literal = [&](QChar c) {
        current.append(c);
        inArgument = true;
        onlyDroppedCodes = false;
    };

    // Codes inside quotes are expanded as well: launchers disagree there, and a
    // browser that quoted its %u still wants the page.
    auto fieldCode = [&](QChar code) {
        if (code == u'%') {
            literal(u'%');
        } else if (QStringView(u"uUfF").contains(code)) {
            current.append(url);
            urlUsed = true;
            inArgument = true;
            onlyDroppedCodes = false;
        } else if (!inArgument) {
            inArgument = true;
            onlyDroppedCodes = true;
        }
    };

    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()
                       && QStringView(u"\"`$\\").contains(exec.at(i + 1))) {
                literal(exec.at(++i));
            } else if (c == u'%' && i + 1 < exec.size()) {
                fieldCode(exec.at(++i));
            } else {
                literal(c);
            }
            continue;
        }
        if (c == u' ' || c == u'\t' || c == u'\n') {
            finish();
        } else if (c == u'"') {
            quoted = true;
            inArgument = true;
            onlyDroppedCodes = false;
        } else if (c == u'%' && i + 1 < exec.size()) {
            fieldCode(exec.at(++i));
        } else {
            literal(c);
        }
    }
    if (quoted)
        return std::nullopt;
    finish();
    if (args.isEmpty() || args.first().isEmpty())
        return std::nullopt;
    if (!urlUsed)
        args << url;
    LaunchCommand cmd;
    cmd.program = args.takeFirst();
    cmd.arguments = args;
    return cmd;
}


}  // namespace quorly
