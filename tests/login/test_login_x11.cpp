// The login automation on a real X server (the one of scripts/with-test-services): keys
// typed through XTest into a window of another program, pasting through the real
// clipboard, the real hot key pressed with xdotool, a grab another program holds, keys
// still held from the hot key, the focus moved away while the program types, and Go To
// URL starting the browsers of desktop entries and filling in after the page-load delay.
#include "app/Preferences.h"
#include "app/ScratchHome.h"
#include "app/OpenInWindow.h"
#include "app/desktop/DesktopHotKeyInstaller.h"
#include "login/KeyRecorder.h"
#include "login/KeystrokeSynthesis.h"
#include "login/LoginSequence.h"
#include "login/WebsitePasswordManager.h"
#include "platform/Clipboard.h"
#include "platform/Workspace.h"
#include "platform/desktop/QtClipboard.h"
#include "platform/desktop/X11Connection.h"
#include "platform/desktop/X11KeySink.h"
#include "store/DocumentTestSupport.h"
#include "store/Globals.h"
#include "store/NewPasswordFile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QWindow>
#include <QStandardPaths>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;

namespace {

constexpr int kCmdCtrl = 4352;

// One connection per process: the installer lives for the whole test run.
DesktopHotKeyInstaller*& installer()
{
    static DesktopHotKeyInstaller* shared = nullptr;
    return shared;
}

class LoginX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qgetenv("QUORLY_TEST_DISPLAY") != "1" || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the X server of scripts/with-test-services";
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool";
        if (!installer()) {
            installer() = new DesktopHotKeyInstaller(X11Connection::open());
            installer()->installHandler();
            setClipboard(std::make_shared<QtClipboard>());
        }
        ASSERT_NE(installer()->connection(), nullptr);
        installer()->setMessageHandler([this](const QString& text) { messages << text; });
        Preferences::setString(PrefKey::HotkeyUserID, "u");
        Preferences::setInteger(PrefKey::HotkeyUserIDModifierFlags, kCmdCtrl);
        Preferences::setString(PrefKey::HotkeyPassword, "p");
        Preferences::setInteger(PrefKey::HotkeyPasswordModifierFlags, kCmdCtrl);
        Preferences::setInteger(PrefKey::TypeSpeed, 100);
        installer()->unRegisterHotKeys();
        installer()->registerHotKeys();
    }
    void TearDown() override
    {
        if (installer())
            installer()->unRegisterHotKeys();
        gWebsiteItem.reset();
    }

    // A password file open in a document, as the front document with `entry` selected.
    void frontDocumentWith(const Entry& entry)
    {
        const QString package = scratch.home() + "/Login.qly";
        ASSERT_TRUE(createPasswordFile(package, kFixturePassword));
        gFramis = kFixturePassword;
        window.document = &document.emplace(package);
        document->setWindow(&window);
        ASSERT_TRUE(document->openDatabase());
        gWebsiteDocument = &*document;
        gWPM = document->wpm();
        gWebsiteItem = makeEntry(entry);
    }

    static void typeInSequence(const QString& text)
    {
        SequenceScope sequence;
        typeString(text);
    }

    ScratchHome scratch;
    QStringList messages;
    ScriptedWindow window;
    std::optional<MyDocument> document;
};

TEST_F(LoginX11Test, TypesEveryKindOfCharacterWithTheLocksOn)
{
    KeyRecorder recorder;
    ASSERT_NE(recorder.window(), 0u);
    recorder.focus();
    // ASCII with shifted symbols, accented letters and a sign no key of the US layout
    // has (typed with a key lent for the moment), an emoji beyond 16 bits.
    const QString text = QStringLiteral("Ann-42@x.org!? Z\u00fcrich caf\u00e9 \u20ac\u2603 \U0001F600 end");
    typeInSequence(text);
    EXPECT_TRUE(recorder.waitForText(text)) << recorder.text().toStdString();

    // CapsLock on: letters still come out in their own case.
    xdotool({"key", "Caps_Lock"});
    typeInSequence(QStringLiteral(" aBc"));
    xdotool({"key", "Caps_Lock"});
    EXPECT_TRUE(recorder.waitForText(text + " aBc")) << recorder.text().toStdString();

    // The lent keys went back: the keymap has no symbol on them any more.
    X11Connection* x11 = installer()->connection();
    EXPECT_EQ(XKeysymToKeycode(x11->display(), 0x1000000 + 0x2603), 0);
}

TEST_F(LoginX11Test, PasteThenClearUnlessTheUserCopiedSomethingNewer)
{
    KeyRecorder recorder;
    recorder.focus();
    ASSERT_GE(gPasteCode, 8);
    {
        SequenceScope sequence;
        pasteString(QStringLiteral("pasted s\u00e9cret"));
    }
    EXPECT_TRUE(recorder.waitForText(QStringLiteral("pasted s\u00e9cret"))) << recorder.text().toStdString();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(kPasswordManagerHintType), QByteArray("secret"));
    clipboard().clearIfStillOurs();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());

    clipboard().putSecret(QStringLiteral("secret"));
    // The other program copies on a key of the user's, which gives its claim on the
    // clipboard a time later than ours.
    xdotool({"key", "shift"});
    ASSERT_TRUE(recorder.copy(QStringLiteral("newer copy")));
    ASSERT_TRUE(spinUntil([] { return !clipboard().holdsOurSecret(); }));
    clipboard().clearIfStillOurs();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("newer copy"));
}

TEST_F(LoginX11Test, HotKeyHeldDownRunsTheSequenceOnceAfterItsRelease)
{
    Entry entry;
    entry.setString(EntryKey::WebsiteUserID, "ann");
    entry.setString(EntryKey::WebsitePassword, "pw");
    entry.setBool(EntryKey::PasswordTabSwitch, true);
    frontDocumentWith(entry);
    KeyRecorder recorder;
    recorder.focus();
    // The user keeps Super+Ctrl+U down for a while: typing waits for the release (else
    // the letters would be the browser's shortcuts), and the held key repeats nothing.
    QProcess::startDetached("xdotool", {"keydown", "super+ctrl+u", "sleep", "0.8", "keyup", "u", "sleep", "0.2",
                                        "keyup", "ctrl+super"});
    ASSERT_TRUE(recorder.waitForText("ann\tpw")) << recorder.text().toStdString();
    spinUntil([] { return false; }, 2500);
    EXPECT_EQ(recorder.text(), "ann\tpw");

    // The password hot key alone.
    xdotool({"key", "super+ctrl+p"});
    EXPECT_TRUE(recorder.waitForText("ann\tpwpw")) << recorder.text().toStdString();
}

TEST_F(LoginX11Test, GrabHeldByAnotherProgramRegistersNothingForThatKey)
{
    installer()->unRegisterHotKeys();
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const int u = XKeysymToKeycode(other, XK_u);
    for (unsigned lock : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
        XGrabKey(other, u, ControlMask | Mod4Mask | lock, DefaultRootWindow(other), False, GrabModeAsync,
                 GrabModeAsync);
    XSync(other, False);

    installer()->registerHotKeys();
    QList<int> identifiers;
    for (const HotKeyGrab& grab : installer()->grabbed())
        identifiers << grab.identifier;
    EXPECT_EQ(identifiers, QList<int>({3}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains("Super+Ctrl+U")) << messages.first().toStdString();
    // Said once: registering again stays quiet.
    installer()->unRegisterHotKeys();
    installer()->registerHotKeys();
    EXPECT_EQ(messages.size(), 1);
    XCloseDisplay(other);
}

TEST_F(LoginX11Test, FocusMovedAwayStopsTheTypingAndOwnWindowsGetNothing)
{
    KeyRecorder first(QStringLiteral("First Recorder"), 40);
    KeyRecorder second(QStringLiteral("Second Recorder"), 520);
    first.focus();
    Preferences::setInteger(PrefKey::TypeSpeed, 20);  // 200 ms before each character
    QProcess::startDetached("xdotool", {"sleep", "0.7", "windowfocus", QString::number(second.window())});
    {
        SequenceScope sequence;
        enterString(QStringLiteral("abcdefghijklmnop"));
        EXPECT_TRUE(keySink().stopped());
    }
    spinUntil([] { return false; }, 500);
    EXPECT_FALSE(first.text().isEmpty());
    EXPECT_TRUE(QStringLiteral("abcdefghijklmnop").startsWith(first.text()));
    EXPECT_LT(first.text().size(), 16);
    EXPECT_EQ(second.text(), QString());

    // Quorly's own window in front: nothing is typed into it.
    QLineEdit own;
    own.setWindowTitle("Own Window");
    own.show();
    ASSERT_TRUE(spinUntil([&] { return own.isVisible() && own.windowHandle()->isExposed(); }));
    xdotool({"windowfocus", "--sync", QString::number(own.winId())});
    Preferences::setInteger(PrefKey::TypeSpeed, 100);
    {
        SequenceScope sequence;
        enterString(QStringLiteral("x"));
        EXPECT_TRUE(keySink().stopped());
    }
    spinUntil([] { return false; }, 300);
    EXPECT_EQ(own.text(), QString());
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The arguments the stand-in browser wrote to `record`, once it has.
QStringList recordedArguments(const QString& record)
{
    if (!spinUntil([&] { return QFileInfo::exists(record); }))
        return {"(not started)"};
    QFile file(record);
    file.open(QIODevice::ReadOnly);
    QStringList arguments = QString::fromUtf8(file.readAll()).split(QChar(0));
    arguments.removeLast();
    QFile::remove(record);
    return arguments;
}

TEST_F(LoginX11Test, GoToURLStartsTheChosenDesktopEntryFallsBackAndFillsInAfterTheDelay)
{
    // Browsers as desktop entries in the scratch $XDG_DATA_HOME: one that records how it
    // was started, one whose program is missing, and the default one of mimeapps.list.
    const QString records = scratch.path() + "/records/";
    const QByteArray argRecorder = QUORLY_BINARY_DIR "/bin/quorly_arg_recorder ";
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/";
    const QByteArray https = "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
    writeFile(applications + "quorly-chosen.desktop", "[Desktop Entry]\nType=Application\nName=Chosen\nExec=" +
                                                          argRecorder + records.toUtf8() + "chosen %u\n" + https);
    writeFile(applications + "quorly-broken.desktop",
              "[Desktop Entry]\nType=Application\nName=Broken\nExec=/nonexistent/browser %u\n" + https);
    writeFile(applications + "quorly-default.desktop", "[Desktop Entry]\nType=Application\nName=Default\nNoDisplay=true\n"
                                                       "Exec=" + argRecorder + records.toUtf8() + "default %u\n");
    writeFile(scratch.config() + "/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=quorly-default.desktop\n"
                                                   "x-scheme-handler/https=quorly-default.desktop\n");
    QDir().mkpath(records);
    setWorkspace(std::make_shared<XdgWorkspace>("/nonexistent/xdg-open"));
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 1);

    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
    ASSERT_TRUE(openNewFileInWindow(scratch.home() + "/Web.qly", "pw", document, window));
    auto add = [&](const QString& name, const QString& url, const QString& browser) {
        Entry e = test::entry(name, "pw");
        e.setString(EntryKey::WebsiteURL, url);
        e.setString(EntryKey::WebsiteUserID, "ann");
        e.setBool(EntryKey::PasswordTabSwitch, true);
        e.setString(EntryKey::Browser, browser);
        e.setString(EntryKey::BrowserBundleID, "quorly-" + browser.toLower() + ".desktop");
        document->passwordArray().append(makeEntry(e));
    };
    // Odd characters reach the browser as one well-formed argument, never a shell.
    add("Chosen", "example.org/a b?q=$(touch pwned)'`touch pwned`;\"", "Chosen");
    add("Broken", "https://example.org/broken", "Broken");
    add("Auto", "example.org/login", "Chosen");
    document->passwordArray().at(2)->setInteger(EntryKey::NewUserIDOptions, 1);
    ASSERT_TRUE(document->KTTableViewArrayChanged());  // sorted: Auto Broken Chosen
    window->reloadList();
    auto goToURL = [&](int row) {
        window->selectRows({row});
        ASSERT_TRUE(window->runCommand("goToURL:"));
    };

    goToURL(2);
    EXPECT_EQ(recordedArguments(records + "chosen"), QStringList{"http://example.org/a%20b?q=$(touch%20pwned)'%60touch%20pwned%60;%22"});
    goToURL(1);
    EXPECT_EQ(recordedArguments(records + "default"), QStringList{"https://example.org/broken"});
    EXPECT_FALSE(QFileInfo::exists(scratch.home() + "/pwned"));

    // The browser's window would come to the front; the recorder stands in for it.
    KeyRecorder recorder(QStringLiteral("Login Page"));
    recorder.focus();
    goToURL(0);
    EXPECT_EQ(recordedArguments(records + "chosen"), QStringList{"http://example.org/login"});
    EXPECT_TRUE(recorder.waitForText("ann\tpw")) << recorder.text().toStdString();
    EXPECT_EQ(document->wpm()->recentWebsiteTitles(), QStringList({"Auto", "Broken", "Chosen"}));

    closeWindowAndDocument(document, window);
    setWorkspace(nullptr);
}

}  // namespace
