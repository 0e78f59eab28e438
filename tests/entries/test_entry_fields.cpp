// One entry's fields as `quorly-cli show` prints them, and the copy commands' use of the
// clipboard (the in-memory one; the real one is tested under X11).
#include "app/Preferences.h"
#include "app/ScratchHome.h"
#include "entries/EntryCopy.h"
#include "platform/Clipboard.h"
#include "support/EventLoop.h"
#include "support/PrintQString.h"

#include <gtest/gtest.h>

using namespace quorly;
using namespace std::chrono_literals;

namespace {

Entry bank()
{
    Entry e;
    e.setName(QStringLiteral("Bank"));
    e.setString(EntryKey::WebsiteURL, QStringLiteral("https://bank.example"));
    e.setString(EntryKey::WebsiteUserID, QStringLiteral("ann"));
    e.setString(EntryKey::WebsitePassword, QStringLiteral("p\u00e4ss"));
    e.setString(EntryKey::Notes, QStringLiteral("PIN in the drawer\nPassword: not this line"));
    return e;
}

TEST(EntryShowText, LabelledFieldsTheSamePasswordMaskForAllAndIndentedContinuations)
{
    EXPECT_EQ(entryShowText(bank(), false), QStringLiteral("Name: Bank\n"
                                                           "URL: https://bank.example\n"
                                                           "User ID: ann\n"
                                                           "Password: ********\n"
                                                           "Notes: PIN in the drawer\n"
                                                           "  Password: not this line\n"));
    Entry other = bank();
    other.setString(EntryKey::WebsitePassword, QStringLiteral("a much longer password than the other"));
    other.setString(EntryKey::WebsiteUserID2, QStringLiteral("1234"));
    other.remove(EntryKey::Notes);
    EXPECT_EQ(entryShowText(other, false), QStringLiteral("Name: Bank\n"
                                                          "URL: https://bank.example\n"
                                                          "User ID: ann\n"
                                                          "Second User ID: 1234\n"
                                                          "Password: ********\n"));
    EXPECT_TRUE(entryShowText(bank(), true).contains(QStringLiteral("\nPassword: p\u00e4ss\n")));

    Entry bare;
    bare.setName(QStringLiteral("Two\r\nlines"));
    EXPECT_EQ(entryShowText(bare, true), QStringLiteral("Name: Two\n  lines\n"));
}

TEST(EntryCopy, PasswordAsASecretForThePreferredTimeOthersAsTextAndEmptyFieldsNotAtAll)
{
    quorly::test::coreApplication();
    ScratchHome scratch;
    auto board = std::make_shared<MemoryClipboard>();
    setClipboard(board);

    EXPECT_EQ(passwordClipboardDelay(), std::optional<std::chrono::milliseconds>(30s));  // before start-up wrote it
    Preferences::setInteger(PrefKey::ClipboardClearSeconds, 0);
    EXPECT_EQ(passwordClipboardDelay(), std::nullopt);
    Preferences::setInteger(PrefKey::ClipboardClearSeconds, 12);
    EXPECT_EQ(passwordClipboardDelay(), std::optional<std::chrono::milliseconds>(12s));

    EXPECT_TRUE(copyEntryField(bank(), EntryField::Password));
    EXPECT_EQ(board->text(), QStringLiteral("p\u00e4ss"));
    EXPECT_TRUE(board->holdsOurSecret());

    EXPECT_TRUE(copyEntryField(bank(), EntryField::UserID));
    EXPECT_EQ(board->text(), QStringLiteral("ann"));
    EXPECT_FALSE(board->holdsOurSecret());

    EXPECT_FALSE(copyEntryField(bank(), EntryField::SecondUserID));
    EXPECT_EQ(board->text(), QStringLiteral("ann"));
    setClipboard(nullptr);
}

}  // namespace
