// The login a person does, end to end: Chromium (a normal window under the test X
// server, with a window manager deciding the focus) shows a two-page login served by
// this test; Quorly, started with a scratch home and a password file holding the
// entry, asks for the file's password; the entry is selected, the browser brought to
// the front, Super+Ctrl+U pressed; the server must receive the user ID and, after the
// next page loaded, the password.
#include "app/ScratchHome.h"
#include "cli/CliRunner.h"
#include "login/KeyRecorder.h"
#include "login/LoginPageServer.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace quorly::test;

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "test_login_chromium";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

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

TEST(LoginEndToEnd, ChromiumReceivesUserIDAndPasswordFromTheHotKey)
{
    application();
    if (qgetenv("QUORLY_TEST_DISPLAY") != "1")
        GTEST_SKIP() << "needs the X server of scripts/with-test-services";
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs chromium and xdotool (scripts/bootstrap installs them)";
    ScratchHome scratch;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    // A window manager, so the focus moves as on a desktop.
    std::optional<Program> windowManager;
    if (const QString openbox = QStandardPaths::findExecutable("openbox"); !openbox.isEmpty())
        windowManager.emplace(openbox, QStringList{"--sm-disable"}, environment);

    LoginPageServer server;
    const QString package = scratch.home() + "/Web.qly";
    const QString user = QStringLiteral("ann.example");
    const QString password = QStringLiteral("S3cr\u00e9t-p\u00e4ss!");  // two letters no US key has
    ASSERT_EQ(runCli({"create", "--password-stdin", package}, "file password\n").exitCode, 0);
    ASSERT_EQ(runCli({"add", "--password-stdin", package, "Example", "--url", server.url(), "--user", user,
                      "--password", password},
                     "file password\n")
                  .exitCode,
              0);
    // Password on the next page, typed after it loaded, then Return.
    for (const QStringList& option : {QStringList{"websiteNewUserIDOptions", "0", "--int"},
                                      QStringList{"websitePasswordOptions", "1", "--int"},
                                      QStringList{"websiteUserIDReturnSwitch", "1", "--bool"},
                                      QStringList{"websitePasswordEnter", "1", "--bool"}})
        ASSERT_EQ(runCli(QStringList{"set", "--password-stdin", package, "Example"} + option, "file password\n").exitCode,
                  0);
    {
        QSettings preferences(scratch.config() + "/Quorly/Quorly.conf", QSettings::IniFormat);
        preferences.setValue("typeSpeed", 100);
        preferences.setValue("browserPageLoadDelay", 3);
    }

    QProcessEnvironment quorlyEnvironment = environment;
    quorlyEnvironment.insert("QT_QPA_PLATFORM", "xcb");
    Program quorly(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly"), {package}, quorlyEnvironment);
    const QString question = waitForWindow("^Quorly$");
    ASSERT_FALSE(question.isEmpty()) << "no file password question";
    xdotool({"windowactivate", "--sync", question});
    xdotool({"type", "--delay", "20", "file password"});
    xdotool({"key", "Return"});
    const QString window = waitForWindow("^Web");
    ASSERT_FALSE(window.isEmpty()) << "the password file's window did not open";
    xdotool({"windowactivate", "--sync", window});
    spinUntil([] { return false; }, 500);
    // The entry is chosen as a user finds it: Find, its name, Return.
    xdotool({"key", "ctrl+f"});
    xdotool({"type", "--delay", "20", "Example"});
    xdotool({"key", "Return"});

    Program browser(chromium,
                    {"--no-sandbox", "--user-data-dir=" + scratch.path() + "/chromium", "--no-first-run",
                     "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--disable-quic", "--disable-gpu", "--password-store=basic",
                     "--disable-features=Translate", "--window-position=0,0", "--window-size=900,700", server.url()},
                    environment);
    ASSERT_TRUE(spinUntil([&] { return server.requests().contains("GET /"); }, 60000)) << "the page was not loaded";
    const QString page = waitForWindow("^Login");
    ASSERT_FALSE(page.isEmpty()) << "no browser window";
    xdotool({"windowactivate", "--sync", page});
    spinUntil([] { return false; }, 1000);

    xdotool({"key", "super+ctrl+u"});
    EXPECT_TRUE(spinUntil([&] { return !server.field("password").isEmpty(); }, 30000))
        << server.requests().join(" | ").toStdString();
    EXPECT_EQ(server.field("user"), user);
    EXPECT_EQ(server.field("password"), password);
    EXPECT_TRUE(quorly.running());
}

}  // namespace
