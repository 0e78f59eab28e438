// The entry list of a real document window over a real password file: search, delete,
// duplicate, add, open and the website buttons, driven through the window's controls.
#include "app/Preferences.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryTableController.h"
#include "entries/desktop/KTTableViewArray.h"
#include "entries/desktop/EntryCallout.h"
#include "login/WebsitePasswordManager.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include "app/GuiDriver.h"
#include "login/RecordingWorkspace.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"
#include "store/DocumentTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

class EntryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        package = scratch.home() + "/Entries.qly";
        ASSERT_TRUE(openNewFileInWindow(package, "pw", document, window));
        for (const char* name : {"Zoo", "Mail", "Bank", "alpha"}) {
            Entry e = newEntryForAdd();
            e.setName(QString::fromLatin1(name));
            list().append(makeEntry(e));
        }
        list().at(1)->setString(EntryKey::WebsiteURL, "mail.example.org");
        list().at(2)->setString(EntryKey::Notes, "my bank card");
        ASSERT_TRUE(document->KTTableViewArrayChanged());  // sorted: Bank Mail Zoo alpha
        window->reloadList();
        table()->setFocus();
        setWorkspace(browsers);
    }
    void TearDown() override
    {
        closeWindowAndDocument(document, window);
        gWebsiteItem.reset();
        setWorkspace(nullptr);
    }

    EntryList& list() { return document->passwordArray(); }
    KTTableViewArray* table() { return window->table(); }
    QStringList names() { return test::namesOf(list()); }
    QPoint centreOf(int column, int row)
    {
        return table()->visualRect(table()->model()->index(row, column)).center();
    }
    PWDataCalloutView* dialog() { return window->tableController()->entryCallout()->pwDataCalloutView(); }
    // Answers the entry callout once it shows.
    void whenEditing(std::function<void(PWDataCalloutView*)> answer)
    {
        whenReady([this] { return dialog() && dialog()->isVisible(); },
                  [this, answer] { answer(dialog()); });
    }
    // What another copy of the program would find in the file.
    QStringList storedNames()
    {
        const auto stored = test::readEntriesFile(document->dataPath(), "pw");
        QStringList result;
        for (const EntryRef& e : stored.value_or(QList<EntryRef>{}))
            result << e->name();
        return result;
    }

    ScratchHome scratch;
    QString package;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
    std::shared_ptr<test::RecordingWorkspace> browsers = std::make_shared<test::RecordingWorkspace>();
};

}  // namespace

TEST_F(EntryWindow, SearchFieldFindsOnReturnAndKeepsTheOnlyMatch)
{
    QTest::keyClicks(window->searchField(), "BANK");
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    EXPECT_EQ(table()->selectedRowIndexes(), QList<int>{0});
    EXPECT_EQ(gWebsiteItem, list().at(0));
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    EXPECT_TRUE(window->notFoundMessage()->isVisibleTo(window));
    EXPECT_EQ(table()->selectedRowIndexes(), QList<int>{0});
}

TEST_F(EntryWindow, DeleteAsksInThePluralRemovesRecentTitlesAndSaves)
{
    Preferences::setBool(PrefKey::ConfirmDelete, true);
    document->wpm()->addRecentWebsiteMenuItemWithTitle("Mail");
    document->wpm()->addRecentWebsiteMenuItemWithTitle("Zoo");
    table()->selectRowIndexes({1, 2});

    QString asked;
    whenShown(window->confirmPanel(), [&] {
        asked = window->confirmPanel()->message();
        window->confirmPanel()->otherButton()->click();
    });
    QTest::keyClick(table(), Qt::Key_Delete);
    EXPECT_EQ(asked, "Are you sure you want to delete the selected entries?");
    EXPECT_EQ(list().size(), 4);
    EXPECT_EQ(document->wpm()->recentWebsiteTitles().size(), 2);

    whenShown(window->confirmPanel(), [&] { window->confirmPanel()->defaultButton()->click(); });
    QTest::keyClick(table(), Qt::Key_Delete);
    EXPECT_EQ(names(), (QStringList{"Bank", "alpha"}));
    EXPECT_EQ(storedNames(), (QStringList{"Bank", "alpha"}));
    EXPECT_TRUE(document->wpm()->recentWebsiteTitles().isEmpty());

    // Without confirmation no panel shows.
    Preferences::setBool(PrefKey::ConfirmDelete, false);
    table()->selectRowIndexes({0});
    window->deleteButton()->click();
    EXPECT_EQ(storedNames(), QStringList{"alpha"});
}

TEST_F(EntryWindow, DuplicateSortsTheCopyInAndLeavesNothingSelected)
{
    table()->selectRowIndexes({1});
    window->duplicateButton()->click();
    EXPECT_EQ(names(), (QStringList{"Bank", "Mail", "Mail copy", "Zoo", "alpha"}));
    EXPECT_EQ(list().at(2)->string(EntryKey::WebsiteURL), "mail.example.org");
    EXPECT_EQ(table()->numberOfSelectedRows(), 0);
    EXPECT_FALSE(window->duplicateButton()->isEnabled());
}

TEST_F(EntryWindow, WebsiteButtonOpensOnlyEntriesWithAnAddress)
{
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, centreOf(0, 0));
    EXPECT_TRUE(browsers->opened.isEmpty());
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, centreOf(0, 1));
    EXPECT_EQ(browsers->opened, QStringList{"default http://mail.example.org"});
    EXPECT_EQ(gWebsiteItem, list().at(1));
    EXPECT_EQ(document->wpm()->recentWebsiteTitles(), QStringList{"Mail"});

    // The recent-websites item finds its entry by name.
    window->tableController()->goToRecent("Mail");
    EXPECT_EQ(browsers->opened.size(), 2);
}

TEST_F(EntryWindow, AddThenCancelLeavesTheFileAsItWas)
{
    const QStringList before = storedNames();
    whenEditing([](PWDataCalloutView* panel) {
        EXPECT_EQ(panel->nameText->text(), "(New)");
        EXPECT_FALSE(panel->okButton->isEnabled());  // nothing changed yet
        panel->cancelButton->click();
    });
    window->addButton()->click();
    EXPECT_EQ(names(), before);
    EXPECT_EQ(storedNames(), before);
}

TEST_F(EntryWindow, AddAndSaveSelectsTheEntryInItsPlace)
{
    whenEditing([](PWDataCalloutView* panel) {
        panel->nameText->selectAll();
        QTest::keyClicks(panel->nameText, "Mail");
        EXPECT_FALSE(panel->okButton->isEnabled());  // taken
        EXPECT_TRUE(panel->nameExistsWarning->isVisibleTo(panel));
        QTest::keyClicks(panel->nameText, "box");
        panel->okButton->click();
    });
    window->addButton()->click();
    EXPECT_EQ(storedNames(), (QStringList{"Bank", "Mail", "Mailbox", "Zoo", "alpha"}));
    EXPECT_EQ(table()->selectedRowIndexes(), QList<int>{2});
}

TEST_F(EntryWindow, OpeningAfterAnotherCopyChangedTheFileEditsTheNewerEntry)
{
    // Another copy of the program rewrites the file: Bank has a new password and a new
    // entry sorts before it, so row 0 is no longer Bank.
    Entry bank = *list().at(0);
    bank.setString(EntryKey::WebsitePassword, "newer");
    Entry early = newEntryForAdd();
    early.setName("Aardvark");
    test::writeEntriesFile(document->dataPath(), {early, bank}, "pw");

    QString shownPassword;
    whenEditing([&](PWDataCalloutView* panel) {
        shownPassword = panel->passwordText->text();
        QTest::keyClicks(panel->passwordText, "!");
        panel->okButton->click();
    });
    table()->selectRowIndexes({0});
    QTest::keyClick(table(), Qt::Key_Return);
    EXPECT_EQ(shownPassword, "newer");
    ASSERT_EQ(names(), (QStringList{"Aardvark", "Bank"}));
    EXPECT_EQ(list().at(1)->string(EntryKey::WebsitePassword), "newer!");
}

TEST_F(EntryWindow, ReadOnlyWindowNeitherAddsNorDeletes)
{
    window->setWriteable(false);
    table()->selectRowIndexes({0});
    QTest::keyClick(table(), Qt::Key_Delete);
    window->runCommand("newEntry:");
    EXPECT_EQ(list().size(), 4);
    EXPECT_FALSE(window->addButton()->isVisibleTo(window));
}

namespace {

// ~/Personal.qly and ~/other/Personal.qly: each window opens where its own file's was
// left, not where the other one's was.
TEST(WindowFrames, KeptPerFileNotPerName)
{
    ScratchHome scratch;
    const QString first = scratch.home() + "/Personal.qly";
    const QString second = scratch.home() + "/other/Personal.qly";
    const QRect placed(130, 140, 610, 420);
    {
        MyDocument document(first);
        DocumentWindowWidget window(&document);
        window.show();
        window.setGeometry(placed);
        window.close();  // the frame is kept as the window closes
    }
    for (const auto& [package, where] : {std::pair{second, false}, std::pair{first, true}}) {
        MyDocument document(package);
        DocumentWindowWidget window(&document);
        EXPECT_EQ(window.geometry() == placed, where) << package.toStdString();
    }
}

}  // namespace
