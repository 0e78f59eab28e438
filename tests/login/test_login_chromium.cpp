// The login a person does, end to end: Chromium (a normal window under the test X
// server, with a window manager deciding the focus) shows a two-page login served by
// this test; Quorly, started with a scratch home and a password file holding the
// entry, asks for the file's password and the entry is found. Then either the user
// brings the browser to the front and presses Super+Ctrl+U, or chooses Go To URL and
// Quorly starts the browser chosen for the entry and fills in by itself once the page
// has loaded. Either way the server must receive the user ID and, after the next page
// loaded, the password.
#include "app/ScratchHome.h"
#include "cli/CliRunner.h"
#include "login/KeyRecorder.h"
#include "login/LoginPageServer.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <signal.h>

using namespace quorly::test;

namespace {

// A program of the test, ended (by its own process id) when the test ends.
class Program {
public:
    Program(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
    {
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(program, arguments);
        process_.waitForStarted();
    }
    ~Program()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
};

QString waitForWindow(const QString& pattern, int msec = 30000)
{
    QString found;
    spinUntil(
        [&] {
            found = xdotool({"search", "--onlyvisible", "--name", pattern}).section('\n', 0, 0);
            return !found.isEmpty();
        },
        msec);
    return found;
}

// Chromium as the tests start it: its own profile in the scratch folder, nothing that
// reaches the network, a fixed place on the screen.
QStringList chromiumOptions(const ScratchHome& scratch)
{
    return {"--no-sandbox", "--user-data-dir=" + scratch.path() + "/chromium", "--no-first-run",
            "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--disable-quic", "--disable-gpu", "--password-store=basic",
            "--disable-features=Translate", "--window-position=0,0", "--window-size=900,700"};
}

class LoginEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qgetenv("QUORLY_TEST_DISPLAY") != "1")
            GTEST_SKIP() << "needs the X server of scripts/with-test-services";
        chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs chromium and xdotool (scripts/bootstrap installs them)";
        // A window manager, so the focus moves as on a desktop.
        if (const QString openbox = QStandardPaths::findExecutable("openbox"); !openbox.isEmpty())
            windowManager.emplace(openbox, QStringList{"--sm-disable"}, environment);

        // Password on the next page, typed after it loaded, then Return.
        ASSERT_EQ(runCli({"create", "--password-stdin", package}, "file password\n").exitCode, 0);
        ASSERT_EQ(runCli({"add", "--password-stdin", package, "Example", "--url", server.url(), "--user", user,
                          "--password", password},
                         "file password\n")
                      .exitCode,
                  0);
        setOptions({{"websiteNewUserIDOptions", "0", "--int"},
                    {"websitePasswordOptions", "1", "--int"},
                    {"websiteUserIDReturnSwitch", "1", "--bool"},
                    {"websitePasswordEnter", "1", "--bool"}});
        QSettings preferences(scratch.config() + "/Quorly/Quorly.conf", QSettings::IniFormat);
        preferences.setValue("typeSpeed", 100);
        preferences.setValue("browserPageLoadDelay", 3);
    }

    void TearDown() override
    {
        // A browser Quorly started belongs to no program of the test: it is ended by
        // the process id of its window.
        for (qint64 pid : startedBrowsers)
            ::kill(pid_t(pid), SIGTERM);
    }

    void setOptions(const QList<QStringList>& options)
    {
        for (const QStringList& option : options)
            ASSERT_EQ(runCli(QStringList{"set", "--password-stdin", package, "Example"} + option, "file password\n")
                          .exitCode,
                      0);
    }

    // Starts Quorly on the password file, answers its password question and finds the
    // entry as a user does: Find, its name, Return. Returns the file's window.
    QString startQuorlyAndFindTheEntry()
    {
        QProcessEnvironment quorlyEnvironment = environment;
        quorlyEnvironment.insert("QT_QPA_PLATFORM", "xcb");
        quorly.emplace(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly"), QStringList{package}, quorlyEnvironment);
        const QString question = waitForWindow("^Quorly$");
        if (question.isEmpty())
            return {};
        xdotool({"windowactivate", "--sync", question});
        xdotool({"type", "--delay", "20", "file password"});
        xdotool({"key", "Return"});
        const QString window = waitForWindow("^Web");
        if (window.isEmpty())
            return {};
        xdotool({"windowactivate", "--sync", window});
        spinUntil([] { return false; }, 500);
        xdotool({"key", "ctrl+f"});
        xdotool({"type", "--delay", "20", "Example"});
        xdotool({"key", "Return"});
        return window;
    }

    bool serverReceivedTheLogin()
    {
        return spinUntil([&] { return !server.field("password").isEmpty(); }, 90000);
    }

    QCoreApplication& app = coreApplication();  // before the server, which needs its event loop
    ScratchHome scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString chromium;
    std::optional<Program> windowManager;
    LoginPageServer server;
    const QString package = scratch.home() + "/Web.qly";
    const QString user = QStringLiteral("ann.example");
    const QString password = QStringLiteral("S3cr\u00e9t-p\u00e4ss!");  // two letters no US key has
    std::optional<Program> quorly;
    QList<qint64> startedBrowsers;
};

TEST_F(LoginEndToEnd, ChromiumReceivesUserIDAndPasswordFromTheHotKey)
{
    ASSERT_FALSE(startQuorlyAndFindTheEntry().isEmpty()) << "the password file's window did not open";
    Program browser(chromium, chromiumOptions(scratch) << server.url(), environment);
    ASSERT_TRUE(spinUntil([&] { return server.requests().contains("GET /"); }, 60000)) << "the page was not loaded";
    const QString page = waitForWindow("^Login");
    ASSERT_FALSE(page.isEmpty()) << "no browser window";
    xdotool({"windowactivate", "--sync", page});
    spinUntil([] { return false; }, 1000);

    xdotool({"key", "super+ctrl+u"});
    EXPECT_TRUE(serverReceivedTheLogin()) << server.requests().join(" | ").toStdString();
    EXPECT_EQ(server.field("user"), user);
    EXPECT_EQ(server.field("password"), password);
    EXPECT_TRUE(quorly->running());
}

TEST_F(LoginEndToEnd, GoToURLOpensTheChosenChromiumAndFillsInAfterThePageLoadDelay)
{
    // Chromium chosen for the entry, as the editor's browser pop-up stores it, from a
    // desktop entry of the user's.
    QDir().mkpath(qEnvironmentVariable("XDG_DATA_HOME") + "/applications");
    QFile desktopEntry(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/quorly-test-chromium.desktop");
    ASSERT_TRUE(desktopEntry.open(QIODevice::WriteOnly));
    desktopEntry.write(("[Desktop Entry]\nType=Application\nName=Test Chromium\nExec=" + chromium + ' ' +
                        chromiumOptions(scratch).join(' ') + " %U\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
                           .toUtf8());
    desktopEntry.close();
    setOptions({{"websiteNewUserIDOptions", "1", "--int"},
                {"websiteBrowser", "Test Chromium"},
                {"websiteBrowserBundleID", "quorly-test-chromium.desktop"}});
    // Long enough for a first start of Chromium on a busy machine.
    QSettings(scratch.config() + "/Quorly/Quorly.conf", QSettings::IniFormat).setValue("browserPageLoadDelay", 12);

    ASSERT_FALSE(startQuorlyAndFindTheEntry().isEmpty()) << "the password file's window did not open";
    xdotool({"key", "ctrl+shift+u"});  // Go To URL
    const QString page = waitForWindow("^Login", 60000);
    ASSERT_FALSE(page.isEmpty()) << "Quorly did not open the page in Chromium";
    startedBrowsers << xdotool({"getwindowpid", page}).toLongLong();

    EXPECT_TRUE(serverReceivedTheLogin()) << server.requests().join(" | ").toStdString();
    EXPECT_EQ(server.field("user"), user);
    EXPECT_EQ(server.field("password"), password);
    EXPECT_TRUE(quorly->running());
    // The entry heads the file's recent websites.
    const QJsonObject dump = QJsonDocument::fromJson(runCli({"dump", "--password-stdin", package}, "file password\n").out).object();
    EXPECT_EQ(dump.value("recentWebsites").toArray(), QJsonArray({"Example"}));
}

}  // namespace
