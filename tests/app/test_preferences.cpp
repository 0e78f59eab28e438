// The preferences store as every reader sees it, and the preferences panel's mapping of
// controls to keys.
#include "app/Preferences.h"
#include "app/PreferencesPanelRules.h"
#include "app/StartUp.h"

#include "app/ScratchHome.h"

#include <QFile>
#include <QSaveFile>
#include <QSettings>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

// What another process does to the file: its own QSettings writes a new file and
// renames it over ours.
void replaceStoreFile(const QByteArray& content)
{
    QSaveFile file(Preferences::filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    ASSERT_TRUE(file.commit());
}

TEST(PreferencesStore, EveryReaderSeesTheLastWriter)
{
    ScratchHome scratch;
    Preferences::setInteger(PrefKey::TypeSpeed, 50);
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 50);

    // Another Quorly saved its panel: this process reads the new values at once.
    replaceStoreFile("[General]\ntypeSpeed=80\nhotkeyUserID=k\nhoverURL=true\n");
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 80);
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "k");
    EXPECT_TRUE(Preferences::boolean(PrefKey::HoverURL));
    EXPECT_TRUE(Preferences::contains(PrefKey::HotkeyUserID));

    // Our next write keeps the other process's keys.
    Preferences::setInteger(PrefKey::PasswordPrompt, 3);
    QSettings onDisk(Preferences::filePath(), QSettings::IniFormat);
    EXPECT_EQ(onDisk.value(PrefKey::HotkeyUserID).toString(), "k");
    EXPECT_EQ(onDisk.value(PrefKey::PasswordPrompt).toLongLong(), 3);
}

TEST(PreferencesStore, ARelativeConfigFolderIsIgnored)
{
    ScratchHome scratch;
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(Preferences::filePath(), scratch.home() + "/.config/Quorly/Quorly.conf");
    ::setenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.config() + "//").constData(), 1);
    EXPECT_EQ(Preferences::filePath(), scratch.config() + "/Quorly/Quorly.conf");
}

// --------------------------------------------------------------------------------------
// The panel's mapping

class PanelRules : public ::testing::Test {
protected:
    ScratchHome scratch;
};

TEST_F(PanelRules, EveryControlGoesToItsKeyAndComesBack)
{
    PreferencesPanelValues values;
    values.hotkeyUserID = "j";
    values.hotkeyUserIDModifiers = {true, false, false, true};  // Command, Control
    values.hotkeyPassword = "";
    values.hotkeyPasswordModifiers = {false, true, true, false};  // Shift, Option
    values.waitForPageLoadDelay = "7";
    values.typeSwitch = true;
    values.typeSpeedSlider = 80;
    values.generatedPasswordLength = 20;
    values.passwordPrompt = 11;
    values.clipboardClearSeconds = 120;
    values.hoverUserID = false;
    values.hoverPassword = true;
    values.hoverURL = true;
    values.hoverNotes = false;
    values.confirmDelete = false;

    QStringList order;
    savePreferencesPanelValues(values, [&] {
        // The hot keys are registered from keys already written, before the rest.
        order << "hotkeys";
        EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "j");
        EXPECT_EQ(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags), 4352);
        EXPECT_FALSE(Preferences::contains(PrefKey::PasswordPrompt));
    });
    EXPECT_EQ(order, QStringList{"hotkeys"});
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyPassword), "");
    EXPECT_TRUE(Preferences::contains(PrefKey::HotkeyPassword));
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags), 0x200 + 0x800);
    EXPECT_EQ(Preferences::integer(PrefKey::BrowserPageLoadDelay), 7);
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 80);
    EXPECT_EQ(Preferences::integer(PrefKey::GeneratedPasswordLength), 20);
    EXPECT_EQ(Preferences::integer(PrefKey::PasswordPrompt), 11);
    EXPECT_EQ(Preferences::integer(PrefKey::ClipboardClearSeconds), 120);
    EXPECT_TRUE(Preferences::boolean(PrefKey::HoverPassword));
    EXPECT_FALSE(Preferences::boolean(PrefKey::ConfirmDelete));
    // No control writes the update framework's key.
    EXPECT_FALSE(Preferences::contains(PrefKey::SUEnableAutomaticChecks));

    EXPECT_EQ(preferencesPanelValues(), values);

    // Switched off, typing becomes pasting (0); the slider keeps its place for next time.
    values.typeSwitch = false;
    savePreferencesPanelValues(values, {});
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 0);
    EXPECT_FALSE(preferencesPanelValues().typeSwitch);
}

TEST_F(PanelRules, FillingShowsTheStoredValuesTheWayThePanelNeedsThem)
{
    // A first start's store.
    StartUp::applyPreferenceStartUp();
    PreferencesPanelValues shown = preferencesPanelValues();
    EXPECT_EQ(shown.hotkeyUserID, "u");
    EXPECT_EQ(shown.hotkeyUserIDModifiers, (HotKeyModifiers{true, false, false, true}));
    EXPECT_EQ(shown.waitForPageLoadDelay, "10");
    EXPECT_FALSE(shown.typeSwitch);
    EXPECT_TRUE(shown.hoverUserID);
    EXPECT_TRUE(shown.confirmDelete);
    EXPECT_EQ(shown.passwordPrompt, 0);
    EXPECT_EQ(shown.clipboardClearSeconds, 30);
    // A store without the clipboard key (an older version's) shows the default, not
    // "Never"; a "Never" the user chose stays.
    Preferences::remove(PrefKey::ClipboardClearSeconds);
    EXPECT_EQ(preferencesPanelValues().clipboardClearSeconds, 30);
    Preferences::setInteger(PrefKey::ClipboardClearSeconds, 0);
    EXPECT_EQ(preferencesPanelValues().clipboardClearSeconds, 0);

    // A stored delay of 0 shows as 10, so OK stores 10; a negative one stays as typed.
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 0);
    EXPECT_EQ(preferencesPanelValues().waitForPageLoadDelay, "10");
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, -4);
    EXPECT_EQ(preferencesPanelValues().waitForPageLoadDelay, "-4");
    // A speed beyond the slider's ends shows at the nearest end, still typing.
    Preferences::setInteger(PrefKey::TypeSpeed, 150);
    EXPECT_EQ(preferencesPanelValues().typeSpeedSlider, 100);
    Preferences::setInteger(PrefKey::TypeSpeed, -3);
    EXPECT_TRUE(preferencesPanelValues().typeSwitch);
    EXPECT_EQ(preferencesPanelValues().typeSpeedSlider, 1);
}

TEST(PanelRuleFunctions, DelayTextIsReadAsItsLeadingWholeNumber)
{
    const std::pair<const char*, qint64> table[] = {
        {"12", 12},     {"  8s", 8},   {"abc", 0},        {"", 0},           {"-5", -5}, {"+3", 3},
        {"4.9", 4},     {"- 2", 0},    {"99999999999", 2147483647}, {"-99999999999", -2147483648LL},
        {"\u0663", 0},  // digits of other scripts are not numbers here
    };
    for (const auto& [text, number] : table)
        EXPECT_EQ(leadingWholeNumber(QString::fromUtf8(text)), number) << text;
    EXPECT_EQ(pageLoadDelayText(0), "10");
    EXPECT_EQ(pageLoadDelayText(3), "3");
}

TEST(PanelRuleFunctions, TypeSwitchHotKeyFieldAndModifierMasks)
{
    // By hand the slider restarts at 50; filling keeps the stored speed; off leaves it.
    EXPECT_EQ(typeSwitchChanged(true, true, 80).value, 50);
    EXPECT_EQ(typeSwitchChanged(true, false, 80).value, 80);
    EXPECT_TRUE(typeSwitchChanged(true, false, 80).enabled);
    EXPECT_FALSE(typeSwitchChanged(false, true, 80).enabled);
    EXPECT_EQ(typeSwitchChanged(false, true, 80).value, 80);

    EXPECT_EQ(hotKeyFieldText("u", "k"), "k");
    EXPECT_EQ(hotKeyFieldText("u", "ab"), "b");
    EXPECT_EQ(hotKeyFieldText("u", ""), "u");  // a dead key
    EXPECT_EQ(hotKeyFieldText("", QString::fromUtf8("x\U0001F511")), QString::fromUtf8("\U0001F511"));

    EXPECT_EQ(maskOfModifiers({true, false, false, true}), 4352);
    for (qint64 mask = 0; mask < 0x2000; mask += 0x100) {
        const qint64 known = mask & (0x100 | 0x200 | 0x800 | 0x1000);
        EXPECT_EQ(maskOfModifiers(modifiersOfMask(mask)), known) << mask;
    }
}

TEST(PanelRuleFunctions, PopUpsOfferTheirItemsAndKeepAStrangeValue)
{
    const QList<PopUpItem> prompt = passwordPromptItems(0);
    QList<qint64> tags;
    for (const PopUpItem& item : prompt)
        tags << item.tag;
    EXPECT_EQ(tags, (QList<qint64>{0, 1, 2, 3, 6, 11, 31}));
    EXPECT_EQ(prompt.at(0).title, "Never");
    EXPECT_EQ(prompt.at(2).title, "After 1 minute");
    EXPECT_EQ(prompt.at(6).title, "After 30 minutes");

    // A value of no item gets its own, in its place.
    EXPECT_EQ(passwordPromptItems(4).at(4), (PopUpItem{"After 3 minutes", 4}));
    EXPECT_EQ(passwordPromptItems(-2).at(1), (PopUpItem{"Never (-2)", -2}));
    EXPECT_EQ(passwordPromptItems(61).last(), (PopUpItem{"After 60 minutes", 61}));

    QList<PopUpItem> clearing = clipboardClearItems(30);
    EXPECT_EQ(clearing, (QList<PopUpItem>{{"Never", 0},
                                          {"After 10 seconds", 10},
                                          {"After 30 seconds", 30},
                                          {"After 1 minute", 60},
                                          {"After 2 minutes", 120},
                                          {"After 5 minutes", 300}}));
    EXPECT_EQ(clipboardClearItems(45).at(3), (PopUpItem{"After 45 seconds", 45}));
    EXPECT_EQ(clipboardClearItems(-5).at(1), (PopUpItem{"After 30 seconds (-5)", -5}));

    // The generator's lengths, and a length of no item in its place.
    EXPECT_EQ(generatedPasswordLengthItems(16).size(), StartUp::offeredPasswordLengths().size());
    EXPECT_EQ(generatedPasswordLengthItems(16).first(), (PopUpItem{"8 characters", 8}));
    EXPECT_EQ(generatedPasswordLengthItems(25).at(5), (PopUpItem{"25 characters", 25}));
}

}  // namespace
