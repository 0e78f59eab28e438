// The fill sequences and keystroke functions against recording doubles of the key sink,
// the clipboard and the floating panels: what is sent, in which order, with which waits.
#include "app/Preferences.h"
#include "app/ScratchHome.h"
#include "login/HotKeyHandler.h"
#include "login/KeystrokeSynthesis.h"
#include "login/LoginSequence.h"
#include "login/RecordingSink.h"
#include "login/WebsitePasswordManager.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "support/EventLoop.h"


#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;

namespace {

class FakeCWBrowser : public CWBrowserDocument {
public:
    explicit FakeCWBrowser(RecordingLog& log) : log_(log) {}
    void loadURLRequest(const QString& url, int autoLogin) override
    {
        log_.add(QStringLiteral("browser load %1 %2").arg(url).arg(autoLogin));
    }
    void showAutoWarning() override { log_.add(QStringLiteral("browser showAutoWarning")); }
    void clearAutoWarning() override { log_.add(QStringLiteral("browser clearAutoWarning")); }
    void setAutoLogin(int value) override { log_.add(QStringLiteral("browser setAutoLogin %1").arg(value)); }

private:
    RecordingLog& log_;
};

class FillSequenceTest : public ::testing::Test {
protected:
    FillSequenceTest()
    {
        coreApplication();
        setKeySink(sink);
        setClipboard(board);
        setFloatingPanels(std::make_shared<RecordingPanels>(log));
        Preferences::setInteger(PrefKey::TypeSpeed, 100);
        Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 10);
        gPasteCode = 55;
    }
    ~FillSequenceTest() override
    {
        setKeySink(nullptr);
        setClipboard(nullptr);
        setFloatingPanels(nullptr);
        setKeyWindowCWBrowserLookup(nullptr);
        gWebsiteItem.reset();
    }

    // An entry of the current scheme: user ID "ann", password "pw", password option
    // `option`, one TAB before the password where the option allows it.
    EntryRef use(qint64 option, const QString& userID2 = {})
    {
        Entry e;
        e.setName(QStringLiteral("Bank"));
        e.setString(EntryKey::WebsiteUserID, QStringLiteral("ann"));
        if (!userID2.isEmpty())
            e.setString(EntryKey::WebsiteUserID2, userID2);
        e.setString(EntryKey::WebsitePassword, QStringLiteral("pw"));
        e.setInteger(EntryKey::NewUserIDOptions, 0);
        if (option != 0)
            e.setInteger(EntryKey::PasswordOptions, option);
        e.setBool(EntryKey::PasswordTabSwitch, option == 0);
        e.setBool(EntryKey::UserIDReturnSwitch, option == 1);
        e.setBool(EntryKey::PasswordEnter, true);
        gWebsiteItem = makeEntry(e);
        return gWebsiteItem;
    }

    ScratchHome scratch;
    RecordingLog log;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(log);
    std::shared_ptr<RecordingClipboard> board = std::make_shared<RecordingClipboard>(log);
    MyDocument document{QStringLiteral("/nonexistent/Sequences.qly")};
    WebsitePasswordManager& wpm = *document.wpm();
};

TEST(TypingPace, PauseBeforeEachCharacterAndPageLoadDelay)
{
    using std::chrono::microseconds;
    EXPECT_EQ(typingPause(100), microseconds(0));
    EXPECT_EQ(typingPause(250), microseconds(0));
    EXPECT_EQ(typingPause(99), microseconds(2500));
    EXPECT_EQ(typingPause(50), microseconds(125000));
    EXPECT_EQ(typingPause(1), microseconds(247500));
    // A negative speed types, at the slowest pace rather than seconds per character.
    EXPECT_EQ(typingPause(-40), microseconds(247500));
    EXPECT_EQ(typingPause(std::numeric_limits<int>::min()), microseconds(247500));

    ScratchHome scratch;
    for (const auto& [stored, msec] : {std::pair<qint64, qint64>{10, 10000}, {0, 0}, {-1, 0},
                                       {std::numeric_limits<qint64>::min(), 0}, {4'000'000'000LL, 3'600'000}}) {
        Preferences::setInteger(PrefKey::BrowserPageLoadDelay, stored);
        EXPECT_EQ(pageLoadDelay().count(), msec) << stored;
    }
}

TEST_F(FillSequenceTest, DoTABsPressesCountPlusOneOnlyWhenSwitchedOn)
{
    SequenceScope sequence;
    for (const auto& [on, count, tabs] : {std::tuple{false, 3, 0}, {true, 0, 1}, {true, 2, 3}, {true, -1, 0}}) {
        Entry e;
        e.setBool(EntryKey::PasswordTabSwitch, on);
        e.setInteger(EntryKey::PasswordTabCount, count);
        gWebsiteItem = makeEntry(e);
        log.events.clear();
        doTABs(QStringLiteral("Password"));
        EXPECT_EQ(log.events.size(), tabs) << on << " " << count;
    }
    gWebsiteItem = makeEntry(Entry{});
    gWebsiteItem->setBool(EntryKey::UserIDTabSwitch, true);  // a missing count is one TAB
    log.events.clear();
    doTABs(QStringLiteral("UserID"));
    EXPECT_EQ(log.events, QStringList({"TAB"}));
}

TEST_F(FillSequenceTest, TypingAndPastingAString)
{
    SequenceScope sequence;
    Preferences::setInteger(PrefKey::TypeSpeed, 50);
    enterString(QStringLiteral("a\U0001F600"));  // the emoji is one character, not two halves
    EXPECT_EQ(log.events, QStringList({"wait 125", "type a", "wait 125", "type \U0001F600"}));
    EXPECT_EQ(theTypeSpeed, 50);

    log.events.clear();
    enterString(QString());
    EXPECT_TRUE(log.events.isEmpty());

    // Speed 0 pastes, an empty string too.
    Preferences::setInteger(PrefKey::TypeSpeed, 0);
    enterString(QString());
    EXPECT_EQ(log.events, QStringList({"wait 1000", "clipboard ", "paste 55"}));
    log.events.clear();
    // With no key for "v" at all the text is typed instead.
    gPasteCode = -1;
    enterString(QStringLiteral("ok"));
    EXPECT_EQ(log.events, QStringList({"wait 1000", "type ok"}));
}

TEST_F(FillSequenceTest, UserIDHotKeyRunsTheWholeSequenceWithoutTABsBeforeTheUserID)
{
    use(0, QStringLiteral("ann2"));
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"type ann", "wait 1000", "TAB", "type ann2", "wait 1000", "TAB", "type pw",
                                       "wait 1000", "RETURN", "hide warning"}));
    EXPECT_EQ(sink->begun, 1);  // the nested password step is part of the same sequence
    EXPECT_EQ(sink->ended, 1);
}

TEST_F(FillSequenceTest, NextPagePasswordWaitsForThePageWhenNotFromTheHotKey)
{
    const EntryRef entry = use(1);
    entry->setBool(EntryKey::UserIDTabSwitch, true);
    entry->setInteger(EntryKey::UserIDTabCount, 1);
    Preferences::setInteger(PrefKey::TypeSpeed, 0);  // pasted: the clipboard is cleared after the password
    wpm.handleUserIDFromHotkey(false);
    EXPECT_EQ(log.events,
              QStringList({"TAB", "TAB", "wait 1000", "clipboard ann", "paste 55", "wait 1000", "RETURN", "show warning",
                           "wait 10000", "wait 1000", "clipboard pw", "paste 55", "wait 1000", "clipboard cleared",
                           "RETURN", "hide warning"}));
    EXPECT_FALSE(board->holdsOurSecret());

    // The password hot key alone: no TABs, no page-load wait.
    log.events.clear();
    Preferences::setInteger(PrefKey::TypeSpeed, 100);
    wpm.pastePasswordFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"type pw", "wait 1000", "RETURN", "hide warning"}));
}

TEST_F(FillSequenceTest, NoPasswordFloatingPasswordAndMissingPassword)
{
    use(2);
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"type ann", "wait 1000"}));

    log.events.clear();
    use(3);
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"type ann", "wait 1000", "show password pw", "hide warning"}));

    // No password: the step ends at once, the clipboard is left alone.
    log.events.clear();
    use(0)->remove(EntryKey::WebsitePassword);
    board->copyFromElsewhere(QStringLiteral("mine"));
    wpm.pastePasswordFromHotkey(true);
    EXPECT_TRUE(log.events.isEmpty());

    // No entry at all: nothing is typed, the user-ID step still pauses.
    gWebsiteItem.reset();
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"wait 1000"}));
}

TEST_F(FillSequenceTest, StoppedSequenceSendsNothingMoreAndTakesItsSecretBack)
{
    use(0);
    Preferences::setInteger(PrefKey::TypeSpeed, 0);
    sink->stopAfterKeys = 1;  // the focus moves after the user ID's paste
    wpm.handleUserIDFromHotkey(true);
    // The move is noticed at the next key; the password step still takes its secret back.
    EXPECT_EQ(log.events, QStringList({"wait 1000", "clipboard ann", "paste 55", "wait 1000", "clipboard cleared",
                                       "hide warning"}));
    EXPECT_FALSE(board->holdsOurSecret());

    // A secret pasted by a sequence stopped before its own clearing step is taken back
    // at its end.
    log.events.clear();
    use(2, QStringLiteral("ann2"));
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"wait 1000", "clipboard ann", "paste 55", "wait 1000", "clipboard cleared"}));

    // Refused before it began (no window, or one of ours): a copy of the user's stays.
    log.events.clear();
    use(0);
    board->copyFromElsewhere(QStringLiteral("mine"));
    sink->refuseAtBegin = true;
    wpm.handleUserIDFromHotkey(true);
    EXPECT_EQ(log.events, QStringList({"hide warning"}));
    EXPECT_EQ(board->text(), QStringLiteral("mine"));
}

TEST_F(FillSequenceTest, CWBrowserCasesRunFromTimersOnceItsWindowIsKey)
{
    FakeCWBrowser browser(log);
    CWBrowserDocument* keyWindow = nullptr;
    setKeyWindowCWBrowserLookup([&keyWindow] { return keyWindow; });
    const EntryRef entry = use(1);
    entry->setBool(EntryKey::UseCWBrowser, true);

    keyWindow = &browser;
    wpm.handleUserIDFromHotkey(true);
    // No one-second steps; the page's auto-login is told of the next page.
    EXPECT_EQ(log.events, QStringList({"type ann", "browser setAutoLogin 2", "RETURN", "browser showAutoWarning"}));

    // The password waits for the built-in browser's window to be key, polling.
    keyWindow = nullptr;
    log.events.clear();
    QElapsedTimer clock;
    clock.start();
    spinUntil([&] { return clock.elapsed() > 700; });
    EXPECT_TRUE(log.events.isEmpty());
    keyWindow = &browser;
    ASSERT_TRUE(spinUntil([&] { return log.events.contains("browser clearAutoWarning"); }));
    EXPECT_EQ(log.events.mid(0, 3), QStringList({"type pw", "hide warning", "browser clearAutoWarning"}));
    // Then Return from its own timer (the password's Return switch is on).
    ASSERT_TRUE(spinUntil([&] { return log.events.contains("RETURN"); }));

    log.events.clear();
    entry->remove(EntryKey::PasswordEnter);
    Preferences::setInteger(PrefKey::TypeSpeed, 0);
    wpm.pastePasswordFromHotkey(true);
    ASSERT_TRUE(spinUntil([&] { return log.events.contains("clipboard cleared"); }));
    EXPECT_EQ(log.events, QStringList({"wait 1000", "clipboard pw", "paste 55", "hide warning", "clipboard cleared"}));
}

TEST_F(FillSequenceTest, HotKeysWaitForTheRunningSequenceAndRunOnce)
{
    QStringList ran;
    {
        SequenceScope running;
        EXPECT_TRUE(SequenceScope::active());
        for (const char* key : {"htk1", "htk1", "htk3", "htk1"})
            SequenceScope::runWhenIdle(QString::fromLatin1(key), [&ran, key] { ran << QString::fromLatin1(key); });
        EXPECT_TRUE(ran.isEmpty());
    }
    ASSERT_TRUE(spinUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, QStringList({"htk1", "htk3"}));

    // Without a front document a hot key does nothing at all.
    use(0);
    gWebsiteDocument = nullptr;
    const int begun = sink->begun;
    hotKeyHandler(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(sink->begun, begun);
}

TEST(SecretClipboard, ClearedOnlyWhileItStillHoldsOurSecret)
{
    MemoryClipboard board;
    board.putSecret(QStringLiteral("pw"));
    board.clearIfStillOurs();
    EXPECT_EQ(board.text(), QString());
    board.putSecret(QStringLiteral("pw"));
    board.copyFromElsewhere(QStringLiteral("the user's newer copy"));
    board.clearIfStillOurs();
    EXPECT_EQ(board.text(), QStringLiteral("the user's newer copy"));
}

}  // namespace
