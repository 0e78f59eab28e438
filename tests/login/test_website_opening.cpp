// Go To URL and the recent websites on an open password file, against recording
// doubles of the browsers, the key sink and the floating panels: what is opened with
// which browser, what is typed after the page-load delay, and what the shared menu
// shows and the package stores.
#include "app/Preferences.h"
#include "app/ScratchHome.h"
#include "login/HotKeyHandler.h"
#include "login/LoginSequence.h"
#include "login/RecentWebsitesMenu.h"
#include "login/RecordingSink.h"
#include "login/RecordingWorkspace.h"
#include "login/WebsitePasswordManager.h"
#include "login/WebsiteURL.h"
#include "store/DocumentTestSupport.h"
#include "store/Globals.h"
#include "store/NewPasswordFile.h"
#include "store/PackageReader.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;

namespace {

// The menu as a list of texts: titles, "--" for the separator, "(off)" after a
// disabled item.
class RecordingMenu : public RecentWebsitesMenu {
public:
    void showTitles(WebsitePasswordManager* owner, const QStringList& titles) override
    {
        shownBy = owner;
        items.clear();
        for (const RecentWebsitesMenuItem& item : recentWebsitesMenuItems(titles, owner != nullptr)) {
            const QString text = item.kind == RecentWebsitesMenuItem::Kind::Separator ? QStringLiteral("--") : item.title;
            items << (item.enabled || item.kind == RecentWebsitesMenuItem::Kind::Separator ? text : text + " (off)");
        }
    }
    WebsitePasswordManager* shownBy = nullptr;
    QStringList items;
};

// A key sink whose first wait runs `duringWait` (a hot key pressed while the page loads).
class WaitingSink : public RecordingSink {
public:
    using RecordingSink::RecordingSink;
    std::function<void()> duringWait;
    void pause(std::chrono::microseconds length) override
    {
        RecordingSink::pause(length);
        if (auto run = std::exchange(duringWait, {}))
            run();
    }
};

class FakeCWBrowser : public CWBrowserDocument {
public:
    explicit FakeCWBrowser(RecordingLog& log) : log_(log) {}
    void loadURLRequest(const QString& url, int autoLogin) override
    {
        log_.add(QStringLiteral("Cardwell %1 %2").arg(url).arg(autoLogin));
    }
    void showAutoWarning() override {}
    void clearAutoWarning() override {}
    void setAutoLogin(int) override {}

private:
    RecordingLog& log_;
};

// An open password file with its scripted window.
struct OpenFile {
    explicit OpenFile(const QString& package)
    {
        EXPECT_TRUE(createPasswordFile(package, kFixturePassword));
        gFramis = kFixturePassword;
        window.document = &document.emplace(package);
        document->setWindow(&window);
        EXPECT_TRUE(document->openDatabase());
    }
    WebsitePasswordManager& wpm() { return *document->wpm(); }
    QStringList storedTitles() { return readPackage(document->fileName(), kFixturePassword).recentWebsites; }
    EntryRef add(const QString& name, const QString& url = QStringLiteral("example.org/login"))
    {
        Entry e = entry(name, QStringLiteral("pw"));
        e.setString(EntryKey::WebsiteURL, url);
        e.setString(EntryKey::WebsiteUserID, QStringLiteral("ann"));
        e.setBool(EntryKey::PasswordTabSwitch, true);
        document->passwordArray().append(makeEntry(e));
        return document->passwordArray().at(document->passwordArray().size() - 1);
    }
    // Go To URL on `item`, as the window does.
    void goTo(const EntryRef& item)
    {
        gWebsiteItem = item;
        wpm().goTo();
    }

    ScriptedWindow window;
    std::optional<MyDocument> document;
};

class WebsiteOpeningTest : public ::testing::Test {
protected:
    WebsiteOpeningTest()
    {
        coreApplication();
        // An installed browser the entries can choose.
        const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
        QDir().mkpath(applications);
        QFile desktopFile(applications + "/quorly-test.desktop");
        EXPECT_TRUE(desktopFile.open(QIODevice::WriteOnly));
        desktopFile.write("[Desktop Entry]\nType=Application\nName=Test Browser\nExec=quorly-test-browser %u\n"
                          "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
        desktopFile.close();
        setKeySink(sink);
        setClipboard(std::make_shared<RecordingClipboard>(log));
        setFloatingPanels(std::make_shared<RecordingPanels>(log));
        setWorkspace(browsers);
        gRecentWebsitesMenu = &menu;
        Preferences::setInteger(PrefKey::TypeSpeed, 100);
        Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 3);
    }
    ~WebsiteOpeningTest() override
    {
        setKeySink(nullptr);
        setClipboard(nullptr);
        setFloatingPanels(nullptr);
        setWorkspace(nullptr);
        setCWBrowserMaker(nullptr);
        gWebsiteItem.reset();
        file.document.reset();
        gRecentWebsitesMenu = nullptr;
    }

    ScratchHome scratch;
    RecordingLog log;
    std::shared_ptr<WaitingSink> sink = std::make_shared<WaitingSink>(log);
    std::shared_ptr<RecordingWorkspace> browsers = std::make_shared<RecordingWorkspace>();
    RecordingMenu menu;  // the shared menu, shown by the file opened last
    OpenFile file{scratch.home() + "/Web.qly"};
};

TEST(WebsiteURL, HttpGoesInFrontOfAnythingButTheThreeExactPrefixes)
{
    const std::pair<QString, QString> cases[] = {
        {"example.org/login", "http://example.org/login"},
        {"http://example.org", "http://example.org"},
        {"https://example.org", "https://example.org"},
        {"file:///home/ann/page.html", "file:///home/ann/page.html"},
        {"HTTP://example.org", "http://HTTP://example.org"},
        {"Https://example.org", "http://Https://example.org"},
        {"ftp://example.org", "http://ftp://example.org"},
        {"http:/example.org", "http://http:/example.org"},
        {" http://example.org", "http:// http://example.org"},
    };
    for (const auto& [stored, opened] : cases)
        EXPECT_EQ(normalisedWebsiteURL(stored), opened);

    // What a browser is handed: one well-formed URL, whatever the entry holds.
    EXPECT_EQ(launchableURL("http://example.org/a b?q='$(touch x)'`id`;\n\""),
              "http://example.org/a%20b?q='$(touch%20x)'%60id%60;%0A%22");
    EXPECT_EQ(launchableURL("http://b\u00fccher.de/\u00e4"), "http://xn--bcher-kva.de/%C3%A4");
    EXPECT_EQ(launchableURL("file:///home/ann/my page.html"), "file:///home/ann/my%20page.html");
    EXPECT_EQ(launchableURL("http://[::1]:8080/x"), "http://[::1]:8080/x");
    for (const char* hopeless : {"http://exa mple.org", "http://javascript:alert(1)", "http://", "http:// example.org"})
        EXPECT_FALSE(launchableURL(QString::fromUtf8(hopeless))) << hopeless;
}

TEST_F(WebsiteOpeningTest, ChosenBrowserElseTheDefaultOneElseAMessage)
{
    const EntryRef bank = file.add("Bank", "bank.example.org/a b");
    bank->setString(EntryKey::Browser, "Test Browser");
    bank->setString(EntryKey::BrowserBundleID, "quorly-test.desktop");
    file.goTo(bank);
    EXPECT_EQ(browsers->opened, QStringList{"quorly-test.desktop http://bank.example.org/a%20b"});

    // The chosen browser does not start: the default browser opens the site.
    browsers->opened.clear();
    browsers->browsersStart = false;
    file.goTo(bank);
    EXPECT_EQ(browsers->opened, QStringList({"quorly-test.desktop http://bank.example.org/a%20b",
                                             "default http://bank.example.org/a%20b"}));

    // Chosen on another computer and not installed here: the default browser.
    browsers->opened.clear();
    bank->setString(EntryKey::Browser, "Safari");
    bank->setString(EntryKey::BrowserBundleID, "com.apple.Safari");
    file.goTo(bank);
    EXPECT_EQ(browsers->opened, QStringList{"default http://bank.example.org/a%20b"});
    EXPECT_TRUE(file.window.messages.isEmpty());

    // Nothing starts at all: the user is told, and nothing is typed into whatever is in
    // front, even for an entry that fills in by itself.
    browsers->defaultStarts = false;
    bank->setInteger(EntryKey::NewUserIDOptions, 1);
    file.goTo(bank);
    ASSERT_EQ(file.window.messages.size(), 1);
    EXPECT_TRUE(file.window.messages.first().startsWith("No web browser could be started"));
    EXPECT_TRUE(log.events.isEmpty());

    // An address no URL can be made of is not handed to any browser.
    browsers->opened.clear();
    file.goTo(file.add("Typo", "exa mple.org"));
    EXPECT_TRUE(browsers->opened.isEmpty());
    EXPECT_TRUE(file.window.messages.last().contains("\u201chttp://exa mple.org\u201d is not a valid web address"));

    // No address: nothing happens at all, the recent websites stay as they were.
    const QStringList before = file.wpm().recentWebsiteTitles();
    file.goTo(file.add("Notes only", QString()));
    gWebsiteItem.reset();
    file.wpm().goTo();
    EXPECT_TRUE(browsers->opened.isEmpty());
    EXPECT_EQ(file.wpm().recentWebsiteTitles(), before);
    EXPECT_EQ(file.window.messages.size(), 2);
}

TEST_F(WebsiteOpeningTest, EntryThatFillsByItselfTypesAfterThePageLoadDelay)
{
    const EntryRef mail = file.add("Mail");
    file.goTo(mail);  // option 0: the user presses the hot key
    EXPECT_TRUE(log.events.isEmpty());

    mail->setInteger(EntryKey::NewUserIDOptions, 1);
    // A hot key pressed while the page loads waits until the fill has ended.
    sink->duringWait = [] { hotKeyHandler(3); };
    gWebsiteDocument = &*file.document;
    gWPM = &file.wpm();
    file.goTo(mail);
    EXPECT_EQ(log.events, QStringList({"show warning", "wait 3000", "type ann", "wait 1000", "TAB", "type pw",
                                       "wait 1000", "hide warning", "hide warning"}));
    EXPECT_EQ(sink->begun, 1);  // the sequence began after the wait, on the window in front then
    ASSERT_TRUE(spinUntil([&] { return sink->begun == 2; }));
    EXPECT_EQ(log.events.mid(9), QStringList({"type pw", "wait 1000", "hide warning"}));

    // A negative delay waits nothing rather than a long time.
    log.events.clear();
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, -5);
    file.goTo(mail);
    EXPECT_EQ(log.events.mid(0, 2), QStringList({"show warning", "type ann"}));
    EXPECT_EQ(browsers->opened.size(), 3);
}

TEST_F(WebsiteOpeningTest, CardwellGetsTheAddressAndTheAutoLoginFlag)
{
    FakeCWBrowser cardwell(log);
    setCWBrowserMaker([&cardwell]() -> CWBrowserDocument* { return &cardwell; });
    const EntryRef shop = file.add("Shop", "https://shop.example.org");
    shop->setBool(EntryKey::UseCWBrowser, true);
    shop->setString(EntryKey::BrowserBundleID, "quorly-test.desktop");  // kept, but Cardwell wins
    file.goTo(shop);
    shop->setInteger(EntryKey::NewUserIDOptions, 1);
    file.goTo(shop);
    EXPECT_EQ(log.events, QStringList({"Cardwell https://shop.example.org 0", "Cardwell https://shop.example.org 1"}));
    EXPECT_TRUE(browsers->opened.isEmpty());  // and no fill from here
    EXPECT_EQ(file.wpm().recentWebsiteTitles(), QStringList{"Shop"});
}

TEST_F(WebsiteOpeningTest, RecentWebsitesHoldTheTwentyNewestAndEveryChangeIsStored)
{
    file.wpm().resetRecentWebsitesMenu(&menu);  // its window became main
    EXPECT_EQ(menu.items, QStringList{"Clear Menu (off)"});

    QList<EntryRef> sites;
    QStringList newestFirst;
    for (int i = 1; i <= 21; ++i) {
        sites << file.add(QStringLiteral("Site %1").arg(i));
        file.goTo(sites.last());
        newestFirst.prepend(sites.last()->name());
    }
    newestFirst.removeLast();  // the 21st website dropped the oldest
    EXPECT_EQ(file.wpm().recentWebsiteTitles(), newestFirst);
    EXPECT_EQ(menu.items, newestFirst + QStringList({"--", "Clear Menu"}));
    EXPECT_EQ(file.storedTitles(), newestFirst);

    // Opened again: to the top, once, and nothing else dropped.
    file.goTo(sites.at(9));
    newestFirst.removeAll("Site 10");
    newestFirst.prepend("Site 10");
    EXPECT_EQ(file.wpm().recentWebsiteTitles(), newestFirst);
    EXPECT_EQ(file.storedTitles(), newestFirst);

    // Removed before being added again (separator kept): one separator.
    file.wpm().deleteRecentWebsiteMenuItemWithTitle("Site 10", false);
    file.wpm().addRecentWebsiteMenuItemWithTitle("Site 10");
    EXPECT_EQ(menu.items.count("--"), 1);

    file.wpm().renameRecentWebsiteTitle("Site 10", "Site Ten");
    EXPECT_EQ(file.storedTitles().first(), "Site Ten");

    // "Clear Menu": only the disabled "Clear Menu" is left, in the package too.
    file.wpm().clearRecentWebsiteMenu();
    EXPECT_EQ(menu.items, QStringList{"Clear Menu (off)"});
    EXPECT_TRUE(file.storedTitles().isEmpty());

    // Deleting the only title takes the separator with it.
    file.goTo(sites.first());
    EXPECT_EQ(menu.items, QStringList({"Site 1", "--", "Clear Menu"}));
    file.wpm().deleteRecentWebsiteMenuItemWithTitle("Site 1", true);
    EXPECT_EQ(menu.items, QStringList{"Clear Menu (off)"});
    EXPECT_TRUE(file.storedTitles().isEmpty());
}

TEST_F(WebsiteOpeningTest, ChosenItemGoesToItsEntryAndAGoneEntryLeavesTheMenu)
{
    file.wpm().resetRecentWebsitesMenu(&menu);  // its window became main
    const EntryRef bank = file.add("Bank", "https://bank.example.org");
    file.goTo(file.add("Mail"));
    file.goTo(bank);
    gWebsiteItem.reset();
    file.document->passwordArray().removeAt(file.document->passwordArray().indexOf(bank));
    file.add("Bank", "https://new-bank.example.org");  // the same name, another entry

    file.wpm().goToRecent("Bank");
    EXPECT_EQ(browsers->opened.last(), "default https://new-bank.example.org");
    EXPECT_EQ(gWebsiteItem->string(EntryKey::WebsiteURL), "https://new-bank.example.org");

    file.wpm().addRecentWebsiteMenuItemWithTitle("Renamed elsewhere");
    const int opened = int(browsers->opened.size());
    file.wpm().goToRecent("Renamed elsewhere");
    EXPECT_EQ(browsers->opened.size(), opened);
    EXPECT_EQ(menu.items, QStringList({"Bank", "Mail", "--", "Clear Menu"}));
    EXPECT_EQ(file.storedTitles(), QStringList({"Bank", "Mail"}));
}

TEST_F(WebsiteOpeningTest, TheMenuShowsTheListOfTheFileWhoseWindowBecameMain)
{
    OpenFile other(scratch.home() + "/Other.qly");
    file.wpm().initRecentWebsitesMenu(&menu, QStringList{"Bank"});
    other.wpm().initRecentWebsitesMenu(&menu, QStringList{"Forum", "Shop"});
    other.wpm().resetRecentWebsitesMenu(&menu);
    EXPECT_EQ(menu.items, QStringList({"Forum", "Shop", "--", "Clear Menu"}));
    EXPECT_EQ(menu.shownBy, &other.wpm());

    // The file in the background changes its list: the menu keeps showing the front one.
    file.wpm().addRecentWebsiteMenuItemWithTitle("Mail");
    EXPECT_EQ(menu.items, QStringList({"Forum", "Shop", "--", "Clear Menu"}));
    file.wpm().resetRecentWebsitesMenu(&menu);
    EXPECT_EQ(menu.items, QStringList({"Mail", "Bank", "--", "Clear Menu"}));

    // Closing the front file empties the menu; the other file's list stays its own.
    file.document->windowWillClose();
    EXPECT_EQ(menu.items, QStringList{"Clear Menu (off)"});
    EXPECT_EQ(other.wpm().recentWebsiteTitles(), QStringList({"Forum", "Shop"}));
}

}  // namespace
