// The preferences store as every reader sees it.
#include "app/Preferences.h"

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

}  // namespace
