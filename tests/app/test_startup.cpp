#include "app/Preferences.h"
#include "app/StartUp.h"

#include "app/ScratchHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class StartUpTest : public ::testing::Test {
protected:
    ScratchHome scratch;
};

TEST_F(StartUpTest, FirstStartWritesExactlyTheDefaults)
{
    StartUp::applyPreferenceStartUp();

    QStringList keys = Preferences::store().allKeys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"1.2", "browserPageLoadDelay", "clipboardClearSeconds", "confirmDelete",
                                 "generatedPasswordLength",
                                 "hotkeyPassword", "hotkeyPasswordModifierFlags", "hotkeyUserID",
                                 "hotkeyUserIDModifierFlags", "hoverUserID"}));
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "u");
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags), 4352);
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyPassword), "p");
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags), 4352);
    EXPECT_EQ(Preferences::integer(PrefKey::BrowserPageLoadDelay), 10);
    EXPECT_TRUE(Preferences::boolean(PrefKey::Version12Marker));
    EXPECT_TRUE(Preferences::boolean(PrefKey::HoverUserID));
    EXPECT_TRUE(Preferences::boolean(PrefKey::ConfirmDelete));
    EXPECT_EQ(Preferences::integer(PrefKey::GeneratedPasswordLength), 8);
    EXPECT_EQ(Preferences::integer(PrefKey::ClipboardClearSeconds), 30);
    // Missing keys read as nothing: paste instead of typing, never ask again.
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 0);
    EXPECT_EQ(Preferences::integer(PrefKey::PasswordPrompt), 0);
    EXPECT_FALSE(Preferences::boolean(PrefKey::HoverPassword));
    EXPECT_EQ(Preferences::string(PrefKey::LastPWFile), "");

    // The store lands where the desktop expects it, and a second start changes nothing.
    EXPECT_TRUE(QFileInfo::exists(scratch.config() + "/Quorly/Quorly.conf"));
    StartUp::applyPreferenceStartUp();
    EXPECT_EQ(Preferences::integer(PrefKey::GeneratedPasswordLength), 8);
    EXPECT_EQ(Preferences::store().allKeys().size(), 10);
}

TEST_F(StartUpTest, DefaultsFollowTheirTriggerKeysAndKeepTheUsersChoices)
{
    // The password hot key alone does not stop the first-run defaults: all five return.
    Preferences::setString(PrefKey::HotkeyPassword, "x");
    Preferences::setInteger(PrefKey::HotkeyPasswordModifierFlags, 0x200);
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 3);
    StartUp::writeFirstRunDefaults();
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyPassword), "p");
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags), 4352);
    EXPECT_EQ(Preferences::integer(PrefKey::BrowserPageLoadDelay), 10);

    // A cleared user-ID hot key, a switched-off tooltip and delete confirmation, and a
    // password kept on the clipboard stay so.
    Preferences::store().clear();
    Preferences::setString(PrefKey::HotkeyUserID, "");
    Preferences::setBool(PrefKey::Version12Marker, true);
    Preferences::setBool(PrefKey::HoverUserID, false);
    Preferences::setBool(PrefKey::ConfirmDelete, false);
    Preferences::setInteger(PrefKey::ClipboardClearSeconds, 0);
    Preferences::store().sync();
    StartUp::applyPreferenceStartUp();
    EXPECT_TRUE(Preferences::contains(PrefKey::HotkeyUserID));
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "");
    EXPECT_FALSE(Preferences::contains(PrefKey::HotkeyPassword));
    EXPECT_FALSE(Preferences::contains(PrefKey::BrowserPageLoadDelay));
    EXPECT_FALSE(Preferences::boolean(PrefKey::HoverUserID));
    EXPECT_FALSE(Preferences::boolean(PrefKey::ConfirmDelete));
    EXPECT_EQ(Preferences::integer(PrefKey::ClipboardClearSeconds), 0);
}

TEST_F(StartUpTest, GeneratedPasswordLengthMovesOntoTheOfferedSteps)
{
    const std::pair<qint64, qint64> table[] = {{-5, 8},   {8, 8},   {9, 12},  {12, 12}, {13, 16},
                                               {17, 20}, {21, 24}, {24, 24}, {25, 25}, {64, 64}};
    for (const auto& [stored, expected] : table) {
        EXPECT_EQ(StartUp::normalisedPasswordLength(stored), expected) << stored;
        // Start-up runs the mapping every time: a second pass must not move it further.
        EXPECT_EQ(StartUp::normalisedPasswordLength(expected), expected) << stored;
    }
    Preferences::setInteger(PrefKey::GeneratedPasswordLength, 14);
    StartUp::normaliseGeneratedPasswordLength();
    EXPECT_EQ(Preferences::integer(PrefKey::GeneratedPasswordLength), 16);
}

TEST_F(StartUpTest, EarlierPreferencesMoveOnlyWhenOursAreMissing)
{
    const QString earlier = scratch.config() + "/Marrowdenkeeper/Marrowdenkeeper.conf";
    writeFile(earlier, "[General]\nhotkeyUserID=k\nconfirmDelete=false\n");
    // The store was already opened (and found empty) before the move: it must reread.
    EXPECT_FALSE(Preferences::contains(PrefKey::HotkeyUserID));

    StartUp::applyPreferenceStartUp();
    EXPECT_FALSE(QFileInfo::exists(earlier));
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "k");
    EXPECT_FALSE(Preferences::boolean(PrefKey::ConfirmDelete));

    // With both present nothing moves and ours is kept.
    writeFile(earlier, "[General]\nhotkeyUserID=z\n");
    EXPECT_FALSE(StartUp::migrateEarlierPreferences());
    EXPECT_TRUE(QFileInfo::exists(earlier));
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "k");
}

TEST_F(StartUpTest, StaleTemporaryFoldersGoFromBothPlaces)
{
    const QStringList stale = {scratch.home() + "/.QLY.abcd1234", scratch.runtime() + "/.QLY.zyxw9876"};
    for (const QString& folder : stale)
        writeFile(folder + "/Data", "plaintext");
    const QString unrelated = scratch.home() + "/QLY.keep";
    writeFile(unrelated + "/file", "mine");

    StartUp::removeStaleTemporaryFolders();
    for (const QString& folder : stale)
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_TRUE(QFileInfo::exists(unrelated + "/file"));
}

TEST_F(StartUpTest, OnlyPasswordFilesAreOpenedAndTheLastOneIfItExists)
{
    const QString package = scratch.home() + "/Bank.qly";
    QDir().mkpath(package);
    EXPECT_EQ(StartUp::passwordFilePath(package + "/"), package);
    EXPECT_EQ(StartUp::passwordFilePath(package + "//"), package);
    EXPECT_EQ(StartUp::passwordFilePath("Bank.qly"), QDir::current().absoluteFilePath("Bank.qly"));
    EXPECT_FALSE(StartUp::passwordFilePath(scratch.home() + "/notes.txt"));
    EXPECT_FALSE(StartUp::passwordFilePath(scratch.home() + "/Bank.QLY"));
    EXPECT_FALSE(StartUp::passwordFilePath(scratch.home() + "/.qly"));
    EXPECT_FALSE(StartUp::passwordFilePath(""));

    EXPECT_FALSE(StartUp::lastFileToReopen());
    Preferences::setString(PrefKey::LastPWFile, scratch.home() + "/Gone.qly");
    EXPECT_FALSE(StartUp::lastFileToReopen());
    EXPECT_EQ(Preferences::string(PrefKey::LastPWFile), scratch.home() + "/Gone.qly");
    Preferences::setString(PrefKey::LastPWFile, package);
    EXPECT_EQ(StartUp::lastFileToReopen(), package);
}

}  // namespace
