// Typing at "typeSpeed" 100 into a window of another program, and the time from the hot
// key's press to the first character there. Needs an X server with XTest (run it under
// scripts/with-test-services); the figures are wall-clock times, counted with the
// characters the window really received.
#include "app/Preferences.h"
#include "app/desktop/DesktopHotKeyInstaller.h"
#include "login/KeyRecorder.h"
#include "login/KeystrokeSynthesis.h"
#include "login/LoginSequence.h"
#include "login/WebsitePasswordManager.h"
#include "platform/desktop/X11Connection.h"
#include "store/DocumentWindow.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>

using namespace quorly;
using namespace quorly::test;

namespace {

using Clock = std::chrono::steady_clock;

struct Setup {
    QTemporaryDir home;
    std::unique_ptr<DesktopHotKeyInstaller> installer;
    std::unique_ptr<KeyRecorder> recorder;
};

Setup* setup()
{
    static int argc = 1;
    static char name[] = "bench_typing_gui";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    qputenv("QT_QPA_PLATFORM", "xcb");
    static QApplication app(argc, argv);
    static Setup* made = [] {
        auto* s = new Setup;
        qputenv("XDG_CONFIG_HOME", s->home.path().toLocal8Bit());
        s->installer = std::make_unique<DesktopHotKeyInstaller>(X11Connection::open());
        if (!s->installer->connection())
            return s;
        s->installer->installHandler();
        Preferences::setString(PrefKey::HotkeyUserID, "u");
        Preferences::setInteger(PrefKey::HotkeyUserIDModifierFlags, 4352);
        Preferences::setInteger(PrefKey::TypeSpeed, 100);
        s->installer->registerHotKeys();
        s->recorder = std::make_unique<KeyRecorder>();
        s->recorder->focus();
        return s;
    }();
    return made->recorder ? made : nullptr;
}

void BM_TypeAtSpeed100(benchmark::State& state)
{
    Setup* s = setup();
    if (!s) {
        state.SkipWithError("needs an X server with XTest (scripts/with-test-services)");
        return;
    }
    const QString chunk = QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 !@#$%^&*() ");
    QString text;
    while (text.size() < state.range(0))
        text += chunk;
    text.truncate(state.range(0));
    QString expected = s->recorder->text();
    for (auto _ : state) {
        expected += text;
        const auto start = Clock::now();
        {
            SequenceScope sequence;
            enterString(text);
        }
        if (!s->recorder->waitForText(expected, 30000)) {
            state.SkipWithError("characters were dropped or changed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(s->recorder->changedAt() - start).count());
    }
    state.counters["chars/s"] = benchmark::Counter(double(state.iterations() * text.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TypeAtSpeed100)->Arg(400)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The front document the hot key acts on; its window answers nothing.
class Windowless : public DocumentWindow {
public:
    int prompt(const QString&, const QString&, const QString&) override { return 1; }
    std::optional<QString> askFilePassword(const QString&) override { return std::nullopt; }
    void showEntries(EntryList&) override {}
    void reloadList() override {}
    void selectRows(const QList<int>&) override {}
    void deselectAll() override {}
    void setWriteable(bool) override {}
    void closeWindow() override {}
};

void BM_HotKeyToFirstCharacter(benchmark::State& state)
{
    Setup* s = setup();
    if (!s) {
        state.SkipWithError("needs an X server with XTest (scripts/with-test-services)");
        return;
    }
    const QString package = s->home.path() + "/Bench.qly";
    createPasswordFile(package, QStringLiteral("bench"));
    gFramis = QStringLiteral("bench");
    Windowless window;
    MyDocument document(package);
    document.setWindow(&window);
    if (!document.openDatabase()) {
        state.SkipWithError("the password file did not open");
        return;
    }
    gWebsiteDocument = &document;
    gWPM = document.wpm();
    Entry entry;
    entry.setString(EntryKey::WebsiteUserID, QStringLiteral("x"));
    entry.setInteger(EntryKey::PasswordOptions, 2);  // the user ID only
    gWebsiteItem = makeEntry(entry);

    // The user's keyboard: another client presses and lets go of Super+Ctrl+U at once.
    Display* keyboard = XOpenDisplay(nullptr);
    const unsigned super = XKeysymToKeycode(keyboard, XK_Super_L), control = XKeysymToKeycode(keyboard, XK_Control_L),
                   u = XKeysymToKeycode(keyboard, XK_u);
    for (auto _ : state) {
        const int before = s->recorder->changes();
        const auto start = Clock::now();
        for (unsigned code : {super, control, u})
            XTestFakeKeyEvent(keyboard, code, True, CurrentTime);
        for (unsigned code : {u, control, super})
            XTestFakeKeyEvent(keyboard, code, False, CurrentTime);
        XFlush(keyboard);
        if (!spinUntil([&] { return s->recorder->changes() > before; }, 5000)) {
            state.SkipWithError("the hot key typed nothing");
            break;
        }
        // When the window's report came in, which may be inside the sequence's own wait.
        state.SetIterationTime(std::chrono::duration<double>(s->recorder->changedAt() - start).count());
        spinUntil([] { return !SequenceScope::active(); }, 5000);  // its one-second step
        spinUntil([] { return false; }, 50);
    }
    XCloseDisplay(keyboard);
    gWebsiteItem.reset();
    document.close();
}
BENCHMARK(BM_HotKeyToFirstCharacter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
