#include "entries/EntryList.h"
#include "login/LoginOptions.h"
#include "store/Globals.h"

#include <gtest/gtest.h>

#include <random>

using namespace quorly;

namespace {

QList<Browser> twoBrowsers()
{
    return {{"Firefox", "firefox.desktop", "firefox %u", {}},
            {"Web", "org.gnome.Epiphany.desktop", "epiphany %u", {}}};
}

// An entry of the current scheme with everything switched on that option 1 allows.
EntryRef optionOneEntry()
{
    Entry e = newEntryForAdd();
    e.setInteger(EntryKey::NewUserIDOptions, 1);
    e.setBool(EntryKey::UserIDTabSwitch, true);
    e.setInteger(EntryKey::UserIDTabCount, 2);
    e.setBool(EntryKey::UserIDReturnSwitch, true);
    e.setInteger(EntryKey::PasswordOptions, 1);
    e.setBool(EntryKey::PasswordTabSwitch, true);
    e.setInteger(EntryKey::PasswordTabCount, 3);
    e.setBool(EntryKey::PasswordEnter, true);
    return makeEntry(e);
}

struct Loaded {
    LoginOptions options{twoBrowsers()};
    EntryRef entry;
    int notified = 0;
    explicit Loaded(EntryRef e) : entry(std::move(e))
    {
        options.entryChanged = [this](const EntryRef&) { ++notified; };
        options.loadAttributes(entry);
        notified = 0;
    }
    const LoginOptionControls& c() const { return options.controls(); }
};

}  // namespace

TEST(LoginOptions, OlderSchemeIsConvertedOnLoad)
{
    struct Case {
        std::optional<qint64> oldUserID, passwordOption;
        qint64 newUserID;
        bool userIDTabs, passwordTabs, userIDReturn, enterKept;
    };
    const Case cases[] = {
        {2, 0, 1, true, true, false, true},
        {std::nullopt, std::nullopt, 0, false, true, false, true},
        {1, 1, 1, false, false, true, true},
        {0, 2, 0, false, false, false, true},
        {5, 3, 5, false, false, false, false},
    };
    for (const Case& k : cases) {
        Entry e = newEntryForAdd();
        if (k.oldUserID)
            e.setInteger(EntryKey::UserIDOptions, *k.oldUserID);
        if (k.passwordOption)
            e.setInteger(EntryKey::PasswordOptions, *k.passwordOption);
        e.setBool(EntryKey::PasswordEnter, true);
        e.setInteger(EntryKey::UserIDTabCount, 4);
        e.setInteger(EntryKey::PasswordTabCount, 4);
        const EntryRef entry = makeEntry(e);
        EXPECT_TRUE(LoginOptions().loadAttributes(entry));
        EXPECT_EQ(gWebsiteItem, entry);

        SCOPED_TRACE(k.newUserID);
        EXPECT_EQ(entry->integer(EntryKey::NewUserIDOptions), k.newUserID);
        EXPECT_EQ(entry->value(EntryKey::UserIDTabSwitch), EntryValue(k.userIDTabs));
        EXPECT_EQ(entry->integer(EntryKey::UserIDTabCount), 0);
        EXPECT_EQ(entry->boolean(EntryKey::PasswordTabSwitch), k.passwordTabs);
        EXPECT_EQ(entry->integer(EntryKey::PasswordTabCount), 0);
        EXPECT_EQ(entry->boolean(EntryKey::UserIDReturnSwitch), k.userIDReturn);
        EXPECT_EQ(entry->contains(EntryKey::PasswordEnter), k.enterKept);

        // Converted once: loading the result again changes nothing.
        const Entry converted = *entry;
        EXPECT_FALSE(LoginOptions().loadAttributes(entry));
        EXPECT_EQ(*entry, converted);
    }
}

TEST(LoginOptions, PasswordOptionRules)
{
    struct Row {
        int option;
        bool tabBoxEnabled, tabBoxOn, tabsEnabled;
        std::optional<bool> storedTabSwitch;  // none: key removed
        qint64 storedCount;
        bool returnEnabled, returnOn;
        bool userIDReturnEnabled, userIDReturnOn;
        std::optional<bool> storedUserIDReturn;
    };
    // Reached from option 1 with every switch on, both Returns included.
    const Row rows[] = {
        {0, false, true, false, true, 0, true, true, false, false, std::nullopt},
        {1, true, false, false, std::nullopt, 3, true, true, false, true, true},
        {2, false, false, false, false, 3, true, true, true, true, true},
        {3, false, false, false, false, 0, false, false, true, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.option);
        Loaded l(optionOneEntry());
        l.options.choosePasswordOption(r.option);
        const LoginOptionControls& c = l.c();
        EXPECT_EQ(c.passwordOptions.selected, r.option);
        EXPECT_EQ(c.passwordTabSwitch.enabled, r.tabBoxEnabled);
        EXPECT_EQ(c.passwordTabSwitch.checked, r.tabBoxOn);
        EXPECT_EQ(c.passwordTabs.enabled, r.tabsEnabled);
        EXPECT_EQ(c.passwordReturnSwitch.enabled, r.returnEnabled);
        EXPECT_EQ(c.passwordReturnSwitch.checked, r.returnOn);
        EXPECT_EQ(c.userIDReturnSwitch.enabled, r.userIDReturnEnabled);
        EXPECT_EQ(c.userIDReturnSwitch.checked, r.userIDReturnOn);

        const Entry& e = *l.entry;
        EXPECT_EQ(e.contains(EntryKey::PasswordTabSwitch), r.storedTabSwitch.has_value());
        if (r.storedTabSwitch) {
            EXPECT_EQ(e.boolean(EntryKey::PasswordTabSwitch), *r.storedTabSwitch);
        }
        EXPECT_EQ(e.integer(EntryKey::PasswordTabCount), r.storedCount);
        EXPECT_EQ(c.passwordTabs.selected, int(r.storedCount));
        EXPECT_EQ(e.contains(EntryKey::UserIDReturnSwitch), r.storedUserIDReturn.has_value());
        // Option 0 is stored by removing the key; the unread Return key goes with it.
        EXPECT_EQ(e.contains(EntryKey::PasswordOptions), r.option != 0);
        EXPECT_EQ(e.contains(EntryKey::PasswordReturnSwitch), r.option == 3);
        EXPECT_EQ(l.notified, 1);
    }
}

TEST(LoginOptions, TabSwitchOffStoresCountZeroAndRemovesSwitch)
{
    Loaded l(optionOneEntry());
    ASSERT_TRUE(l.c().passwordTabs.enabled);  // option 1 keeps the loaded switch
    EXPECT_EQ(l.c().passwordTabs.selected, 3);

    l.options.setUserIDTabSwitch(false);
    l.options.setPasswordTabSwitch(false);
    for (const auto& [tabs, switchKey, countKey] :
         {std::tuple{l.c().userIDTabs, EntryKey::UserIDTabSwitch, EntryKey::UserIDTabCount},
          std::tuple{l.c().passwordTabs, EntryKey::PasswordTabSwitch, EntryKey::PasswordTabCount}}) {
        EXPECT_FALSE(tabs.enabled);
        EXPECT_EQ(tabs.selected, 0);
        EXPECT_FALSE(l.entry->contains(switchKey));
        ASSERT_TRUE(l.entry->contains(countKey));
        EXPECT_EQ(l.entry->integer(countKey), 0);
    }
}

TEST(LoginOptions, UserIDOptionZeroStoresSwitchFalseAndOneShowsTheStoredTabs)
{
    Loaded l(optionOneEntry());
    l.options.chooseUserIDOption(0);
    ASSERT_TRUE(l.entry->contains(EntryKey::UserIDTabSwitch));
    EXPECT_FALSE(l.entry->boolean(EntryKey::UserIDTabSwitch));
    EXPECT_EQ(l.entry->integer(EntryKey::NewUserIDOptions), 0);
    EXPECT_FALSE(l.c().userIDTabSwitch.enabled || l.c().userIDTabSwitch.checked || l.c().userIDTabs.enabled);
    EXPECT_EQ(l.c().userIDTabs.selected, 0);
    l.options.setUserIDTabSwitch(true);  // disabled: ignored
    EXPECT_FALSE(l.entry->boolean(EntryKey::UserIDTabSwitch));

    // Back to 1: the box shows the stored switch (false) and the pop-up the stored count.
    l.options.chooseUserIDOption(1);
    EXPECT_TRUE(l.c().userIDTabSwitch.enabled && !l.c().userIDTabSwitch.checked && !l.c().userIDTabs.enabled);
    EXPECT_EQ(l.c().userIDTabs.selected, 2);

    // A switch left true under option 0 by another program shows again under option 1.
    l.options.chooseUserIDOption(0);
    l.entry->setBool(EntryKey::UserIDTabSwitch, true);
    l.options.chooseUserIDOption(1);
    EXPECT_TRUE(l.c().userIDTabSwitch.checked);
    EXPECT_TRUE(l.c().userIDTabs.enabled);
}

TEST(LoginOptions, IndexesThePopUpsLackAreShownAsTheyActAndKept)
{
    Entry e = *optionOneEntry();
    e.setInteger(EntryKey::NewUserIDOptions, 5);
    e.setInteger(EntryKey::UserIDTabCount, 9);
    e.setInteger(EntryKey::PasswordTabCount, -2);
    const Entry stored = e;
    Loaded l(makeEntry(e));
    EXPECT_EQ(*l.entry, stored);
    EXPECT_EQ(l.c().userIDOptions.selected, 1);
    EXPECT_EQ(l.c().userIDTabs.items.last(), "10 TABs");
    EXPECT_EQ(l.c().userIDTabs.selected, 9);
    EXPECT_EQ(l.c().passwordTabs.selected, -1);

    // A password option beyond the list acts as the same page and gets its rules.
    l.entry->setInteger(EntryKey::PasswordOptions, 7);
    l.options.loadAttributes(l.entry);
    EXPECT_EQ(l.c().passwordOptions.selected, 0);
    EXPECT_EQ(l.entry->integer(EntryKey::PasswordOptions), 7);
    EXPECT_TRUE(l.entry->boolean(EntryKey::PasswordTabSwitch));
    EXPECT_FALSE(l.c().userIDReturnSwitch.enabled);
    // Out-of-range choices from a widget are refused.
    l.options.choosePasswordOption(4);
    l.options.chooseBrowser(4);
    EXPECT_EQ(l.entry->integer(EntryKey::PasswordOptions), 7);
}

TEST(LoginOptions, FieldsStoreEveryChangeAndEmptiedFieldsGoBackToTheirLoadedForm)
{
    Entry e = newEntryForAdd();
    e.setString(EntryKey::WebsiteURL, "");
    e.setString(EntryKey::WebsiteUserID2, "second");
    e.setString(EntryKey::WebsitePassword, "pw");
    Loaded l(makeEntry(e));
    int passwordEdits = 0;
    l.options.passwordEdited = [&] { ++passwordEdits; };
    EXPECT_TRUE(l.c().password.hidden);  // bullets while a secret is there
    const Entry loaded = *l.entry;

    l.options.setURL("e");
    EXPECT_TRUE(l.options.urlPresent());
    l.options.fieldChanged(LoginOptions::Field::URL, "");
    l.options.fieldChanged(LoginOptions::Field::UserID, "u");
    l.options.fieldChanged(LoginOptions::Field::UserID, "");
    EXPECT_EQ(*l.entry, loaded);  // typed and undone: nothing to save

    l.options.fieldChanged(LoginOptions::Field::UserID2, "");
    EXPECT_FALSE(l.entry->contains(EntryKey::WebsiteUserID2));
    l.options.fieldChanged(LoginOptions::Field::Password, "");
    EXPECT_FALSE(l.entry->contains(EntryKey::WebsitePassword));
    EXPECT_EQ(passwordEdits, 1);
    const int before = l.notified;
    l.options.fieldChanged(LoginOptions::Field::Password, "");  // already absent: silent
    EXPECT_EQ(l.notified, before);
}

TEST(LoginOptions, BrowserChoice)
{
    const QList<Browser> namesakes{{"Firefox", "firefox.desktop", "firefox %u", {}},
                                   {"Firefox", "firefox-esr.desktop", "firefox-esr %u", {}}};
    Entry e = newEntryForImport("Bank");
    e.setString(EntryKey::Browser, "Safari");
    e.setString(EntryKey::BrowserBundleID, "com.apple.Safari");
    const EntryRef entry = makeEntry(e);
    LoginOptions options(namesakes);
    options.loadAttributes(entry);
    // Not installed here: shown as the default browser, stored keys untouched.
    EXPECT_EQ(options.controls().browserPopup.selected, BrowserPopup::DefaultBrowserIndex);
    EXPECT_EQ(*entry, e);

    options.chooseBrowser(BrowserPopup::BuiltInIndex);
    EXPECT_TRUE(entry->boolean(EntryKey::UseCWBrowser));
    EXPECT_EQ(entry->string(EntryKey::BrowserBundleID), "com.apple.Safari");

    options.chooseBrowser(3);
    EXPECT_FALSE(entry->contains(EntryKey::UseCWBrowser));
    EXPECT_EQ(entry->string(EntryKey::BrowserBundleID), "firefox-esr.desktop");
    EXPECT_EQ(BrowserPopup::indexForEntry(*entry, namesakes), 3);  // the id tells namesakes apart
    entry->setString(EntryKey::BrowserBundleID, "org.mozilla.firefox");
    EXPECT_EQ(BrowserPopup::indexForEntry(*entry, namesakes), 2);  // an id from elsewhere: the title
    EXPECT_EQ(BrowserPopup::browserForEntry(*entry, namesakes), &namesakes.at(0));

    options.chooseBrowser(BrowserPopup::DefaultBrowserIndex);
    EXPECT_FALSE(entry->contains(EntryKey::Browser));
    EXPECT_FALSE(entry->contains(EntryKey::BrowserBundleID));
    EXPECT_EQ(BrowserPopup::browserForEntry(*entry, namesakes), nullptr);
}

// Whatever the user does, (1) the controls show what the login sequences will do with
// the stored copy, and (2) saving and opening the entry again shows and stores exactly
// the same: no option is lost or changed by a load (a loaded option 1 keeps its password
// TAB switch; option 3 keeps the password Return for when it is left again).
TEST(LoginOptions, RandomEditsKeepWhatIsShownWhatIsSavedAndStableOverReload)
{
    std::mt19937 random(20261206);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const Entry starts[] = {newEntryForAdd(), newEntryForImport("Imported"), *optionOneEntry()};

    for (int run = 0; run < 3000; ++run) {
        Loaded l(makeEntry(starts[run % 3]));
        for (int step = pick(1, 14); step > 0; --step) {
            const int i = pick(-1, 6);
            switch (pick(0, 8)) {
            case 0: l.options.chooseUserIDOption(i); break;
            case 1: l.options.setUserIDTabSwitch(i % 2); break;
            case 2: l.options.chooseUserIDTabCount(i); break;
            case 3: l.options.setUserIDReturnSwitch(i % 2); break;
            case 4: l.options.choosePasswordOption(i); break;
            case 5: l.options.setPasswordTabSwitch(i % 2); break;
            case 6: l.options.choosePasswordTabCount(i); break;
            case 7: l.options.setPasswordReturnSwitch(i % 2); break;
            case 8: l.options.chooseBrowser(i); break;
            }
        }
        const Entry& e = *l.entry;
        const LoginOptionControls& c = l.c();
        auto tabs = [](bool on, qint64 count) { return on ? count + 1 : 0; };
        const qint64 passwordOption = e.integer(EntryKey::PasswordOptions);
        ASSERT_EQ(c.passwordOptions.selected, passwordOption) << run;
        ASSERT_EQ(c.userIDOptions.selected, e.integer(EntryKey::NewUserIDOptions)) << run;
        if (c.userIDOptions.selected == 1) {
            ASSERT_EQ(tabs(c.userIDTabSwitch.checked, c.userIDTabs.selected),
                      tabs(e.boolean(EntryKey::UserIDTabSwitch), e.integer(EntryKey::UserIDTabCount)))
                << run;
        }
        if (passwordOption <= 1) {
            ASSERT_EQ(tabs(c.passwordTabSwitch.checked, c.passwordTabs.selected),
                      tabs(e.boolean(EntryKey::PasswordTabSwitch), e.integer(EntryKey::PasswordTabCount)))
                << run;
            ASSERT_EQ(c.passwordReturnSwitch.checked, e.boolean(EntryKey::PasswordEnter)) << run;
        }
        ASSERT_EQ(c.userIDReturnSwitch.checked, e.boolean(EntryKey::UserIDReturnSwitch)) << run;
        ASSERT_EQ(c.browserPopup.selected, BrowserPopup::indexForEntry(e, l.options.browsers())) << run;

        const EntryRef saved = makeEntry(e);
        LoginOptions reopened(twoBrowsers());
        ASSERT_FALSE(reopened.loadAttributes(saved)) << run;
        ASSERT_EQ(*saved, e) << run;
        ASSERT_EQ(reopened.controls(), c) << run;
    }
}
