#include "platform/Browsers.h"
#include "platform/DesktopFile.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

void write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray browserFile(const QByteArray& name, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name.toLower()
        + " %u\nMimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n" + extra;
}

QStringList titles(const QList<Browser>& browsers)
{
    QStringList t;
    for (const Browser& b : browsers)
        t << b.title + "=" + b.identifier;
    return t;
}

}  // namespace

TEST(Browsers, DiscoveryShadowsSkipsAndSortsByTitle)
{
    QTemporaryDir tmp;
    const QString home = tmp.path() + "/home/applications";
    const QString first = tmp.path() + "/first/applications";
    const QString second = tmp.path() + "/second/applications";

    write(home + "/firefox.desktop", browserFile("Firefox"));
    // The user hides a system browser by a Hidden copy of its id.
    write(home + "/chromium.desktop", browserFile("Chromium", "Hidden=true\n"));
    write(first + "/chromium.desktop", browserFile("Chromium"));
    write(first + "/firefox.desktop", browserFile("Old Firefox"));
    write(first + "/kde/konqueror.desktop", browserFile("Konqueror", "Name[de]=Konqueror-Browser\n"));
    write(first + "/quiet.desktop", browserFile("Quiet", "NoDisplay=true\n"));
    write(first + "/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n"
                                   "MimeType=x-scheme-handler/https;\n");
    write(first + "/mail.desktop", "[Desktop Entry]\nType=Application\nName=Mail\nExec=mail %u\n"
                                   "MimeType=x-scheme-handler/mailto;x-scheme-handler/https-not;\n");
    write(first + "/noexec.desktop", "[Desktop Entry]\nType=Application\nName=Broken\n"
                                     "MimeType=x-scheme-handler/https\nExec=\"unterminated %u\n");
    write(first + "/notes.txt", browserFile("Not a desktop file"));
    write(second + "/kde-konqueror.desktop", browserFile("Shadowed by the subfolder id"));
    write(second + "/aardvark.desktop", browserFile("aardvark"));
    write(second + "/web.desktop", browserFile("Web"));

    const QStringList dirs{home, first, second, tmp.path() + "/missing/applications"};
    const QList<Browser> found = discoverBrowsers(dirs, "C");
    // Case-sensitive: capitals first, so "aardvark" comes last.
    EXPECT_EQ(titles(found), QStringList({"Firefox=firefox.desktop", "Konqueror=kde-konqueror.desktop",
                                          "Web=web.desktop", "aardvark=aardvark.desktop"}));
    EXPECT_EQ(found.first().exec, "firefox %u");
    EXPECT_EQ(found.first().path, home + "/firefox.desktop");

    const QList<Browser> german = discoverBrowsers(dirs, "de_DE.UTF-8");
    EXPECT_EQ(german.at(1).title, "Konqueror-Browser");
    EXPECT_EQ(german.at(1).identifier, "kde-konqueror.desktop");
}

TEST(Browsers, ApplicationDirsFollowXdgVariablesAndDefaults)
{
    qputenv("XDG_DATA_HOME", "/data/home");
    qputenv("XDG_DATA_DIRS", "/a::relative:/b/");
    EXPECT_EQ(applicationDirs(), QStringList({"/data/home/applications", "/a/applications", "/b//applications"}));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    qputenv("HOME", "/home/someone");
    EXPECT_EQ(applicationDirs(), QStringList({"/home/someone/.local/share/applications",
                                              "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST(Browsers, DesktopFileParsing)
{
    const auto file = DesktopFile::parse("# comment\n[Other]\nName=Wrong\n"
                                         "[Desktop Entry]\r\n"
                                         "Name = Spaced \\s out\\\\ \\n\r\n"
                                         "Exec=app \"a \\\\\\\" b\"\n"
                                         "MimeType=a\\;b;c\\\\;d\n"
                                         "Name=Second one ignored\n"
                                         "Name[fr_CA]=Canadien\nName[fr]=Francais\nName[sr@latin]=Latinica\n"
                                         "[Desktop Action new]\nExec=ignored\n");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->string("Name"), "Spaced   out\\ \n");
    EXPECT_EQ(file->string("Exec"), "app \"a \\\\\" b\"");  // Exec quoting is resolved later
    EXPECT_EQ(file->list("MimeType"), QStringList({"a;b", "c\\", "d"}));
    EXPECT_EQ(file->localeString("Name", "fr_CA.UTF-8"), "Canadien");
    EXPECT_EQ(file->localeString("Name", "fr_BE"), "Francais");
    EXPECT_EQ(file->localeString("Name", "sr_RS@latin"), "Latinica");
    EXPECT_EQ(file->localeString("Name", "de"), "Spaced   out\\ \n");
    EXPECT_FALSE(DesktopFile::parse("Name=No group\n"));
}

TEST(Browsers, ExecExpansion)
{
    const QString url = "https://example.com/a b?q=1&r=%41";
    struct Case {
        QString exec;
        std::optional<LaunchCommand> expected;
    };
    const Case cases[] = {
        {"firefox %u", LaunchCommand{"firefox", {url}}},
        {"\"/opt/My Browser/run\"  --new-window\t%U", LaunchCommand{"/opt/My Browser/run", {"--new-window", url}}},
        {"app --icon %i %c %k --url=%u %d", LaunchCommand{"app", {"--icon", "--url=" + url}}},
        {"app \"q \\\"x\\\" \\$HOME \\` \\\\ %%\" 100%% %f", LaunchCommand{"app", {"q \"x\" $HOME ` \\ %", "100%", url}}},
        {"app \"\" \"%u\"", LaunchCommand{"app", {"", url}}},
        {"browser", LaunchCommand{"browser", {url}}},  // no URL code: the URL is appended
        {"app %F extra%f", LaunchCommand{"app", {url, "extra" + url}}},
        {"app \"open", std::nullopt},
        {"", std::nullopt},
        {"   %i", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exec.toStdString());
        const auto got = expandExec(c.exec, url);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_EQ(got->program, c.expected->program);
            EXPECT_EQ(got->arguments, c.expected->arguments);
        }
    }
}

TEST(Browsers, OpeningStartsTheBrowsersProgramWithTheUrl)
{
    QTemporaryDir tmp;
    // A "browser" that makes the file it is given, so the test sees it started with it.
    const Browser touch{"Touch", "touch.desktop", "touch %f", {}};
    const QString target = tmp.path() + "/opened page";
    XdgWorkspace workspace;
    ASSERT_TRUE(workspace.openURLWithBrowser(touch, target));
    for (int i = 0; i < 500 && !QFile::exists(target); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_FALSE(workspace.openURLWithBrowser({"None", "none.desktop", "/nonexistent/quorly-browser %u", {}}, target));
}

TEST(Browsers, DefaultBrowserIsTheFirstStartableDefaultOfTheMimeAppsLists)
{
    QTemporaryDir tmp;
    const QString apps = tmp.path() + "/applications";
    write(apps + "/web.desktop", browserFile("Web"));
    write(apps + "/kde/konqueror.desktop", browserFile("Konqueror"));
    // A default need not be offered in the pop-up, nor list a MIME type.
    write(apps + "/handler.desktop", "[Desktop Entry]\nType=Application\nName=Handler\nNoDisplay=true\n"
                                     "Exec=handler --new-tab %u\n");
    write(apps + "/hidden.desktop", browserFile("Hidden", "Hidden=true\n"));
    write(tmp.path() + "/kde-mimeapps.list", "[Default Applications]\nx-scheme-handler/https=kde-konqueror.desktop\n");
    write(tmp.path() + "/user.list", "[Added Associations]\nx-scheme-handler/https=web.desktop;\n"
                                     "[Default Applications]\n"
                                     "x-scheme-handler/https=missing.desktop;hidden.desktop;../web.desktop;handler.desktop;\n"
                                     "x-scheme-handler/http=web.desktop\n");
    write(tmp.path() + "/system.list", "[Default Applications]\nx-scheme-handler/https=missing.desktop\n");
    const QStringList dirs{apps};
    auto find = [&](const QString& scheme, const QStringList& lists) {
        const std::optional<Browser> b = defaultBrowser(scheme, lists, dirs, "C");
        return b ? b->identifier : QStringLiteral("none");
    };
    const QString user = tmp.path() + "/user.list", system = tmp.path() + "/system.list";
    // Uninstalled, hidden and malformed ids give way to the next one.
    EXPECT_EQ(find("https", {tmp.path() + "/absent.list", system, user}), "handler.desktop");
    EXPECT_EQ(find("http", {system, user}), "web.desktop");  // a URL's own scheme first
    EXPECT_EQ(find("file", {user}), "handler.desktop");      // anything else goes by https
    EXPECT_EQ(find("https", {tmp.path() + "/kde-mimeapps.list", user}), "kde-konqueror.desktop");
    EXPECT_EQ(find("https", {system}), "none");
    const std::optional<Browser> handler = defaultBrowser("https", {user}, dirs, "C");
    ASSERT_TRUE(handler);
    EXPECT_EQ(expandExec(handler->exec, "https://x")->arguments, QStringList({"--new-tab", "https://x"}));

    qputenv("XDG_CONFIG_HOME", "/c");
    qputenv("XDG_CONFIG_DIRS", "/etc/a:relative:/etc/b");
    qputenv("XDG_DATA_HOME", "/d");
    qputenv("XDG_DATA_DIRS", "/usr/share");
    qputenv("XDG_CURRENT_DESKTOP", "KDE:Plasma");
    EXPECT_EQ(mimeAppsListFiles(),
              QStringList({"/c/kde-mimeapps.list", "/c/plasma-mimeapps.list", "/c/mimeapps.list",
                           "/etc/a/kde-mimeapps.list", "/etc/a/plasma-mimeapps.list", "/etc/a/mimeapps.list",
                           "/etc/b/kde-mimeapps.list", "/etc/b/plasma-mimeapps.list", "/etc/b/mimeapps.list",
                           "/d/applications/kde-mimeapps.list", "/d/applications/plasma-mimeapps.list",
                           "/d/applications/mimeapps.list", "/usr/share/applications/kde-mimeapps.list",
                           "/usr/share/applications/plasma-mimeapps.list", "/usr/share/applications/mimeapps.list"}));
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"})
        qunsetenv(name);
}
