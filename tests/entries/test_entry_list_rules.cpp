#include "entries/EntryListEdits.h"
#include "entries/EntrySearch.h"
#include "entries/HoverText.h"
#include "entries/MenuValidation.h"

#include <gtest/gtest.h>

using namespace quorly;

namespace {

EntryRef entry(const QString& name, std::initializer_list<std::pair<QString, QString>> fields = {})
{
    Entry e;
    e.setName(name);
    for (const auto& [key, value] : fields)
        e.setString(key, value);
    return makeEntry(e);
}

EntryList listOf(std::initializer_list<EntryRef> entries)
{
    EntryList list;
    for (const EntryRef& e : entries)
        list.append(e);
    return list;
}

}  // namespace

TEST(EntrySearch, WithoutSingleSelectionEveryRowIsExaminedFirstToLast)
{
    const EntryList list = listOf({entry("alpha"), entry("beta"), entry("gamma")});
    for (const QList<int>& selection : {QList<int>{}, QList<int>{0, 2}}) {
        FindResult first = findNext(list, "alpha", selection);
        EXPECT_EQ(first.foundRow, 0);
        EXPECT_EQ(first.findStartingRow, 2);
        EXPECT_EQ(findNext(list, "gamma", selection).foundRow, 2);
        // Two matches: the first row wins.
        EXPECT_EQ(findNext(list, "a", selection).foundRow, 0);
    }

    // Nothing to look for is no search; nothing to look in is a failed one.
    const FindResult empty = findNext(list, "", {});
    EXPECT_FALSE(empty.searched);
    EXPECT_FALSE(empty.showNotFound());
    EXPECT_TRUE(findNext(EntryList{}, "a", {}).showNotFound());
}

TEST(EntrySearch, SingleSelectionWrapsAndSkipsTheSelectedRow)
{
    const EntryList list = listOf({entry("Bank one"), entry("Mail"), entry("Bank two")});
    EXPECT_EQ(findNext(list, "bank", {0}).foundRow, 2);
    EXPECT_EQ(findNext(list, "bank", {2}).foundRow, 0);
    EXPECT_EQ(findNext(list, "bank", {2}).findStartingRow, 2);

    // The only match already selected: not found, so the caller keeps the selection.
    const FindResult again = findNext(list, "mail", {1});
    EXPECT_EQ(again.foundRow, -1);
    EXPECT_TRUE(again.showNotFound());
}

TEST(EntrySearch, FieldsMatchIgnoringCaseAndAbsentFieldsNever)
{
    const EntryList list = listOf({entry("Savings", {{EntryKey::Notes, "my bank at home"}}),
                                   entry("Shop", {{EntryKey::WebsitePassword, "s3cret"}}),
                                   entry("Work", {{EntryKey::WebsiteUserID2, "Joe"}})});
    EXPECT_EQ(findNext(list, "BANK", {}).foundRow, 0);
    EXPECT_EQ(findNext(list, "S3CRET", {}).foundRow, 1);
    EXPECT_EQ(findNext(list, "joe", {}).foundRow, 2);

    // A number stored under a searched key is not text and never matches.
    Entry numeric;
    numeric.setName("n");
    numeric.setInteger(EntryKey::Notes, 42);
    EXPECT_FALSE(entryMatches(numeric, "42"));
}

TEST(HoverText, PartsAndLineBreaks)
{
    const EntryRef full = entry("x", {{EntryKey::WebsiteUserID, "joe"},
                                      {EntryKey::WebsiteUserID2, "1234"},
                                      {EntryKey::WebsitePassword, "pw"},
                                      {EntryKey::WebsiteURL, "example.org"},
                                      {EntryKey::Notes, "two\nlines"}});
    EXPECT_EQ(hoverText(*full, {true, true, true, true}),
              "User ID: joe 1234\nPassword: pw\nURL: example.org\nNotes: two\nlines");
    // The first present part never starts with a line break.
    EXPECT_EQ(hoverText(*full, {false, true, false, false}), "Password: pw");
    EXPECT_EQ(hoverText(*full, {false, false, true, true}), "URL: example.org\nNotes: two\nlines");
    EXPECT_EQ(hoverText(*full, {}), "");

    // A second user ID without a first shows no user-ID part at all.
    const EntryRef second = entry("y", {{EntryKey::WebsiteUserID2, "1234"},
                                        {EntryKey::WebsitePassword, "pw"}});
    EXPECT_EQ(hoverText(*second, {true, true, true, true}), "Password: pw");
}

TEST(MenuValidation, TitlesInOrder)
{
    MenuState empty;
    EXPECT_FALSE(validateMenuItem("Print…", empty).enabled);
    EXPECT_FALSE(validateMenuItem("Export Selected Entries…", empty).enabled);
    EXPECT_FALSE(validateMenuItem("Go To URL", empty).enabled);
    EXPECT_FALSE(validateMenuItem("View/Edit Entry", empty).enabled);
    EXPECT_FALSE(validateMenuItem("Find Again", empty).enabled);
    EXPECT_TRUE(validateMenuItem("Page Setup…", empty).enabled);

    MenuState two;
    two.selectedRows = 2;
    two.entryCount = 5;
    two.passwordInKeychain = true;
    EXPECT_TRUE(validateMenuItem("Export Selected Entries…", two).enabled);
    EXPECT_FALSE(validateMenuItem("View/Edit Entry", two).enabled);
    EXPECT_FALSE(validateMenuItem("Duplicate", two).enabled);
    const MenuItemState keychain = validateMenuItem("Save File Password In Keychain", two);
    EXPECT_TRUE(keychain.enabled);
    EXPECT_EQ(keychain.checked, true);
    EXPECT_FALSE(validateMenuItem("Print…", two).checked.has_value());

    MenuState readOnly = two;
    readOnly.selectedRows = 1;
    readOnly.writeable = false;
    EXPECT_TRUE(validateMenuItem("View/Edit Entry", readOnly).enabled);
    EXPECT_FALSE(validateMenuItem("Duplicate", readOnly).enabled);
    EXPECT_FALSE(validateMenuItem("Delete Entry", readOnly).enabled);
    EXPECT_FALSE(validateMenuItem("Import…", readOnly).enabled);

    // The copy commands need the one selected entry to hold the field, and leave the
    // Edit menu's "Copy" alone; a read-only file copies all the same.
    EXPECT_FALSE(validateMenuItem("Copy Password", readOnly).enabled);
    readOnly.selectedHasPassword = true;
    readOnly.selectedHasURL = true;
    EXPECT_TRUE(validateMenuItem("Copy Password", readOnly).enabled);
    EXPECT_TRUE(validateMenuItem("Copy URL", readOnly).enabled);
    EXPECT_FALSE(validateMenuItem("Copy User ID", readOnly).enabled);
    EXPECT_TRUE(validateMenuItem("Copy", empty).enabled);
    two.selectedHasPassword = true;
    EXPECT_FALSE(validateMenuItem("Copy Password", two).enabled);
}

TEST(EntryListEdits, DeletePromptsAndRemovedTitles)
{
    // The plural prompt is checked through the window.
    EXPECT_EQ(deletePrompt(1), "Are you sure you want to delete the selected entry?");

    const EntryList list = listOf({entry("a"), entry("b"), entry("c")});
    EXPECT_EQ(recentTitlesRemovedByDelete(list, {0, 2}), (QStringList{"c", "a"}));
}

TEST(EntryListEdits, DuplicateCopiesEveryKeyUnderTheCopyName)
{
    const EntryRef mail = entry("Mail", {{EntryKey::WebsitePassword, "pw"}});
    mail->setInteger(EntryKey::PasswordTabCount, 3);
    const EntryList list = listOf({mail, entry("Mail copy"), entry("mail copy 2")});
    const EntryRef copy = duplicateOf(list, *mail);
    EXPECT_EQ(copy->name(), "Mail copy 2");
    EXPECT_NE(copy, mail);
    Entry renamed = *copy;
    renamed.setName("Mail");
    EXPECT_EQ(renamed, *mail);
}

TEST(EntryListEdits, EntryChosenAgainAfterReread)
{
    const EntryRef bank = entry("Bank", {{EntryKey::WebsitePassword, "old"}});
    EntryList list = listOf({entry("Alpha"), bank});
    const Entry before = *bank;
    EXPECT_EQ(entryChosenAgain(list, bank, before), bank);

    // Re-read, same content, other objects, other rows.
    const EntryRef sameAgain = entry("Bank", {{EntryKey::WebsitePassword, "old"}});
    list.replaceAll({entry("Aardvark"), entry("Alpha"), sameAgain});
    EXPECT_EQ(entryChosenAgain(list, bank, before), sameAgain);

    // Changed elsewhere: the newer version of the same name.
    const EntryRef changed = entry("Bank", {{EntryKey::WebsitePassword, "new"}});
    list.replaceAll({entry("Alpha"), changed});
    EXPECT_EQ(entryChosenAgain(list, bank, before), changed);

    // Gone, or no longer telling which one.
    list.replaceAll({entry("Alpha")});
    EXPECT_EQ(entryChosenAgain(list, bank, before), nullptr);
    list.replaceAll({entry("Bank"), entry("Bank")});
    EXPECT_EQ(entryChosenAgain(list, bank, before), nullptr);
}
