#include "app/Preferences.h"
#include "app/desktop/Controller.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/KTTableViewArray.h"
#include "platform/Clipboard.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"
#include "store/TempFolder.h"

#include "app/CreatePanelDriver.h"
#include "app/GuiDriver.h"
#include "login/RecordingWorkspace.h"
#include "support/PrintQString.h"
#include "login/WebsitePasswordManager.h"
#include "login/desktop/CWBrowser.h"
#include "platform/Workspace.h"
#include "app/ScratchHome.h"

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorly;

namespace {

// --------------------------------------------------------------------------------------
// The controller

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller = std::make_unique<Controller>();
        controller->setQuitApplication([this] { ++quits; });
        controller->awakeFromNib();
    }
    void TearDown() override
    {
        controller.reset();
        clearGFramis();
    }

    QString makePackage(const QString& name, const QString& framis)
    {
        const QString path = scratch.home() + "/" + name;
        QString error;
        EXPECT_TRUE(createPasswordFile(path, framis, &error)) << error.toStdString();
        return path;
    }

    DocumentWindowWidget* openWindowFor(const QString& path)
    {
        for (DocumentWindowWidget* window : controller->windows()) {
            if (window->document() && window->document()->fileName() == path)
                return window;
        }
        return nullptr;
    }
    bool waitUntilOpen(const QString& path)
    {
        return waitFor([&] { return openWindowFor(path) && openWindowFor(path)->document()->isOpen(); });
    }
    // Opens a package whose password was just handed over, as after its creation.
    DocumentWindowWidget* openWithPassword(const QString& package, const QString& framis)
    {
        gFramis = framis;
        controller->openDocumentWithContentsOfFile(package);
        return waitUntilOpen(package) ? openWindowFor(package) : nullptr;
    }

    ScratchHome scratch;
    std::unique_ptr<Controller> controller;
    int quits = 0;
};

TEST_F(ControllerTest, ReopensTheLastFileAndAsksForItsPassword)
{
    EXPECT_EQ(gController, controller.get());
    EXPECT_TRUE(gRecentWebsitesMenu);
    EXPECT_TRUE(Controller::findSubmenu(controller->mainMenu(), {"File", "Go To Recent Website"}));

    const QString package = makePackage("Home.qly", "pw");
    Preferences::setString(PrefKey::LastPWFile, package);
    // A leftover of a crashed run goes before anything opens.
    QDir().mkpath(scratch.home() + "/.QLY.leftover");
    controller->awakeFromNib();
    EXPECT_FALSE(QFileInfo::exists(scratch.home() + "/.QLY.leftover"));

    gFramis = QStringLiteral("stale");  // from an earlier creation: must not open this file
    bool asked = false;
    whenReady([&] { return openWindowFor(package) && openWindowFor(package)->passwordPanel()->isVisible(); },
              [&] {
                  asked = true;
                  PasswordPanel* panel = openWindowFor(package)->passwordPanel();
                  QTest::keyClicks(panel->field(), "pw");
                  panel->defaultButton()->click();
              });
    controller->launch({});
    ASSERT_TRUE(waitUntilOpen(package));
    EXPECT_TRUE(asked);
    EXPECT_FALSE(gFramis);

    // Opening it again brings the same window forward.
    controller->applicationOpenFile(package + "/");
    EXPECT_EQ(controller->windows().size(), 1);
    // Not a password file: ignored, and still a success.
    EXPECT_TRUE(controller->applicationOpenFile(scratch.home() + "/notes.txt"));
    EXPECT_EQ(controller->windows().size(), 1);
}

TEST_F(ControllerTest, WithoutALastFileTheCreationPanelComesAndItsFileOpensWithoutAQuestion)
{
    Preferences::setString(PrefKey::LastPWFile, scratch.home() + "/Gone.qly");
    CreatePasswordFilePanel* panel = controller->createPasswordFilePanel();
    whenShown(panel->dialog(), [&] { fillCreatePanel(*panel, "Fresh", "s3cret", "s3cret"); });
    // The password is handed over: a question would wait here for ten seconds and fail.
    whenReady([&] { return !controller->windows().isEmpty() && controller->windows().first()->passwordPanel()->isVisible(); },
              [&] {
                  ADD_FAILURE() << "the new file asked for its password";
                  controller->windows().first()->passwordPanel()->otherButton()->click();
              },
              controller.get());
    controller->launch({scratch.home() + "/readme.txt"});

    const QString package = scratch.home() + "/Fresh.qly";
    ASSERT_TRUE(waitUntilOpen(package));
    DocumentWindowWidget* window = openWindowFor(package);
    EXPECT_EQ(Preferences::string(PrefKey::LastPWFile), package);
    EXPECT_FALSE(window->readOnlyIcon()->isVisible());
    EXPECT_TRUE(window->addButton()->isVisible());
    const QString tempDir = window->document()->tempDir();
    EXPECT_TRUE(QFileInfo::exists(tempDir));

    // Closing the last window quits, and the private folder is gone.
    window->close();
    ASSERT_TRUE(waitFor([&] { return quits > 0; }));
    EXPECT_FALSE(QFileInfo::exists(tempDir));
    EXPECT_TRUE(controller->windows().isEmpty());
}

TEST_F(ControllerTest, AFileThatNeverOpensLeadsToTheCreationPanelNotToNothing)
{
    const QString notAPasswordFile = scratch.home() + "/Empty.qly";
    QDir().mkpath(notAPasswordFile);
    Preferences::setString(PrefKey::LastPWFile, notAPasswordFile);

    QString message;
    whenReady([&] { return openWindowFor(notAPasswordFile) && openWindowFor(notAPasswordFile)->promptPanel()->isVisible(); },
              [&] {
                  PromptPanel* panel = openWindowFor(notAPasswordFile)->promptPanel();
                  message = panel->message();
                  panel->defaultButton()->click();
              },
              controller.get());
    CreatePasswordFilePanel* create = controller->createPasswordFilePanel();
    bool offered = false;
    whenShown(create->dialog(), [&] {
        offered = true;
        create->dialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    controller->launch({});
    ASSERT_TRUE(waitFor([&] { return quits > 0; }));
    EXPECT_EQ(message, "This is not a Quorly file.");
    EXPECT_TRUE(offered);
    EXPECT_TRUE(controller->windows().isEmpty());
}

TEST_F(ControllerTest, QuitClosesEveryDocument)
{
    const QStringList packages = {makePackage("A.qly", "a"), makePackage("B.qly", "b")};
    ASSERT_TRUE(openWithPassword(packages[0], "a"));
    ASSERT_TRUE(openWithPassword(packages[1], "b"));
    QStringList temps;
    for (DocumentWindowWidget* window : controller->windows())
        temps << window->document()->tempDir();

    controller->quit();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(controller->windows().isEmpty());
    for (const QString& temp : temps)
        EXPECT_FALSE(QFileInfo::exists(temp)) << temp.toStdString();
}

TEST_F(ControllerTest, MenuItemsFollowTheFrontWindow)
{
    DocumentWindowWidget* window = openWithPassword(makePackage("M.qly", "m"), "m");
    ASSERT_TRUE(window);

    auto item = [&](const QString& menu, const QString& title) -> QAction* {
        for (QAction* action : Controller::findSubmenu(controller->mainMenu(), {menu})->actions()) {
            if (action->text() == title)
                return action;
        }
        return nullptr;
    };
    // Every window shows the one main menu, the recent-websites submenu included.
    EXPECT_EQ(window->menuBar()->actions(), controller->mainMenu()->actions());

    QMenu* edit = Controller::findSubmenu(controller->mainMenu(), {"Edit"});
    emit edit->aboutToShow();
    EXPECT_FALSE(item("Edit", "Find Again")->isEnabled());
    EXPECT_TRUE(item("Edit", "Find\u2026")->isEnabled());
    window->searchField()->setText("bank");
    emit edit->aboutToShow();
    EXPECT_TRUE(item("Edit", "Find Again")->isEnabled());
    EXPECT_EQ(item("Edit", "Find Again")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));

    QMenu* file = Controller::findSubmenu(controller->mainMenu(), {"File"});
    emit file->aboutToShow();
    EXPECT_FALSE(item("File", "Print\u2026")->isEnabled());  // nothing prints yet
    EXPECT_TRUE(item("File", "New")->isEnabled());
    EXPECT_EQ(item("File", "Close")->shortcut(), QKeySequence(QKeySequence::Close));

    // The search finds nothing in an empty file and says so.
    item("Edit", "Find Again")->trigger();
    EXPECT_TRUE(window->notFoundMessage()->isVisibleTo(window));

    item("File", "Close")->trigger();
    EXPECT_TRUE(controller->windows().isEmpty());
}

// Undo, Redo, Cut, Copy, Paste and Select All are enabled only where the focused field
// (or list) would act on them.
TEST_F(ControllerTest, EditItemsAreEnabledOnlyWhereTheyAct)
{
    DocumentWindowWidget* window = openWithPassword(makePackage("E.qly", "e"), "e");
    ASSERT_TRUE(window);
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return window->isActiveWindow(); }));
    QMenu* edit = Controller::findSubmenu(controller->mainMenu(), {"Edit"});
    auto enabled = [&] {
        emit edit->aboutToShow();
        QStringList on;
        for (QAction* action : edit->actions()) {
            // Find… and Find Again follow the window, Preferences… is always there.
            if (!action->isSeparator() && action->isEnabled() && !action->text().startsWith("Find") &&
                action->text() != "Preferences\u2026")
                on << action->text();
        }
        return on;
    };

    QApplication::clipboard()->clear();
    window->searchField()->setFocus();
    EXPECT_EQ(enabled(), QStringList{});
    QTest::keyClicks(window->searchField(), "bank");
    EXPECT_EQ(enabled(), (QStringList{"Undo", "Select All"}));
    window->searchField()->selectAll();
    QApplication::clipboard()->setText("pasted");
    EXPECT_EQ(enabled(), (QStringList{"Undo", "Cut", "Copy", "Paste", "Select All"}));
    window->searchField()->undo();
    EXPECT_EQ(enabled(), (QStringList{"Redo", "Paste"}));

    window->table()->setFocus();  // an empty list: nothing to select, no text to edit
    EXPECT_EQ(enabled(), QStringList{});
    QApplication::clipboard()->clear();
}

TEST_F(ControllerTest, CopyCommandsCopyTheSelectedEntrysFieldsFromMenusAndKeys)
{
    DocumentWindowWidget* window = openWithPassword(makePackage("C.qly", "c"), "c");
    ASSERT_TRUE(window);
    Entry bank;
    bank.setName("Bank");
    bank.setString(EntryKey::WebsitePassword, "s3cret");
    bank.setString(EntryKey::WebsiteURL, "https://bank.example");
    window->document()->passwordArray().append(makeEntry(bank));
    ASSERT_TRUE(window->document()->KTTableViewArrayChanged());
    window->reloadList();
    auto board = std::make_shared<MemoryClipboard>();
    setClipboard(board);

    QMenu* entryMenu = Controller::findSubmenu(controller->mainMenu(), {"Entry"});
    auto item = [&](const QString& title) -> QAction* {
        for (QAction* action : entryMenu->actions()) {
            if (action->text() == title)
                return action;
        }
        return nullptr;
    };
    ASSERT_TRUE(item("Copy User ID") && item("Copy Password") && item("Copy URL"));
    EXPECT_EQ(item("Copy User ID")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(item("Copy Password")->shortcut(), QKeySequence(QKeySequence::Copy));
    EXPECT_EQ(item("Copy URL")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));

    emit entryMenu->aboutToShow();
    EXPECT_FALSE(item("Copy Password")->isEnabled());  // nothing selected
    window->selectRows({0});
    emit entryMenu->aboutToShow();
    EXPECT_TRUE(item("Copy Password")->isEnabled());
    EXPECT_TRUE(item("Copy URL")->isEnabled());
    EXPECT_FALSE(item("Copy User ID")->isEnabled());  // the entry has none
    emit entryMenu->aboutToHide();

    item("Copy URL")->trigger();
    EXPECT_EQ(board->text(), "https://bank.example");
    EXPECT_FALSE(board->holdsOurSecret());
    item("Copy Password")->trigger();
    EXPECT_EQ(board->text(), "s3cret");
    EXPECT_TRUE(board->holdsOurSecret());
    // An empty field leaves the clipboard as it was, even when its key comes anyway.
    item("Copy User ID")->trigger();
    EXPECT_EQ(board->text(), "s3cret");

    // Ctrl+C in the list copies the password; in the search field it is the field's Copy.
    board->copyFromElsewhere("the user's");
    QTest::keyClick(window->table(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(board->text(), "s3cret");
    board->copyFromElsewhere("the user's");
    window->searchField()->setText("bank");
    window->searchField()->selectAll();
    QTest::keyClick(window->searchField(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(board->text(), "the user's");

    // The list's context menu offers the same items, checked against the same window.
    emit window->table()->customContextMenuRequested(QPoint(5, 5));
    QMenu* context = controller->entryContextMenu();
    ASSERT_TRUE(waitFor([&] { return context->isVisible(); }));
    QStringList titles;
    for (QAction* action : context->actions()) {
        if (!action->isSeparator())
            titles << action->text();
    }
    EXPECT_EQ(titles, QStringList({"View/Edit Entry\u2026", "Copy User ID", "Copy Password", "Copy URL", "Go To URL",
                                   "Duplicate Entry", "Delete Entry"}));
    EXPECT_TRUE(item("Copy Password")->isEnabled());
    EXPECT_FALSE(item("Copy User ID")->isEnabled());
    context->hide();
    setClipboard(nullptr);
}

TEST_F(ControllerTest, ReadOnlyPackageShowsTheMarkAndHidesTheChangingButtons)
{
    const QString package = makePackage("RO.qly", "r");
    QFile::setPermissions(package, QFile::ReadOwner | QFile::ExeOwner);
    DocumentWindowWidget* window = openWithPassword(package, "r");
    ASSERT_TRUE(window);
    // Root may write into any folder, so there the document finds the package writable;
    // the window's side of a read-only package is then shown by telling it directly.
    if (::geteuid() == 0)
        window->setWriteable(false);
    EXPECT_TRUE(window->readOnlyIcon()->isVisible());
    EXPECT_FALSE(window->addButton()->isVisible());
    EXPECT_FALSE(window->deleteButton()->isVisible());
    EXPECT_FALSE(window->duplicateButton()->isVisible());
    controller->quit();
    QFile::setPermissions(package, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// What the shared "Go To Recent Website" menu shows: its items' texts, "--" for the
// separator, "(off)" after a disabled item.
QStringList recentMenuItems(QMenu* menu)
{
    QStringList items;
    for (QAction* item : menu->actions())
        items << (item->isSeparator() ? QStringLiteral("--") : item->text() + (item->isEnabled() ? "" : " (off)"));
    return items;
}

TEST_F(ControllerTest, RecentWebsitesMenuFollowsTheFrontWindowAndItsItemsGoToTheirEntries)
{
    auto browsers = std::make_shared<test::RecordingWorkspace>();
    setWorkspace(browsers);
    DocumentWindowWidget* a = openWithPassword(makePackage("A.qly", "a"), "a");
    DocumentWindowWidget* b = openWithPassword(makePackage("B.qly", "b"), "b");
    ASSERT_TRUE(a && b);
    auto addEntry = [](DocumentWindowWidget* window, const QString& name, const QString& url) {
        Entry e = newEntryForAdd();
        e.setName(name);
        e.setString(EntryKey::WebsiteURL, url);
        window->document()->passwordArray().append(makeEntry(e));
        window->document()->KTTableViewArrayChanged();
        window->reloadList();
    };
    addEntry(a, "Bank & Co", "bank.example.org");
    addEntry(b, "Forum", "https://forum.example.org");
    auto bringToFront = [this](DocumentWindowWidget* window) {
        window->activateWindow();
        return waitFor([this, window] {
            return controller->mainWindow() == window && gWebsiteDocument == window->document();
        });
    };
    QMenu* recent = Controller::findSubmenu(controller->mainMenu(), {"File", "Go To Recent Website"});
    ASSERT_TRUE(recent);
    QAction* goToURL = nullptr;
    for (QAction* item : Controller::findSubmenu(controller->mainMenu(), {"Entry"})->actions()) {
        if (item->text() == "Go To URL")
            goToURL = item;
    }
    ASSERT_TRUE(goToURL);
    EXPECT_EQ(goToURL->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));

    ASSERT_TRUE(bringToFront(b));
    ASSERT_TRUE(bringToFront(a));
    a->selectRows({0});
    goToURL->trigger();
    EXPECT_EQ(browsers->opened, QStringList{"default http://bank.example.org"});
    EXPECT_EQ(recentMenuItems(recent), QStringList({"Bank && Co", "--", "Clear Menu"}));

    ASSERT_TRUE(bringToFront(b));
    EXPECT_EQ(recentMenuItems(recent), QStringList{"Clear Menu (off)"});
    b->selectRows({0});
    goToURL->trigger();
    EXPECT_EQ(recentMenuItems(recent), QStringList({"Forum", "--", "Clear Menu"}));

    ASSERT_TRUE(bringToFront(a));
    ASSERT_EQ(recentMenuItems(recent).first(), "Bank && Co");
    recent->actions().first()->trigger();
    EXPECT_EQ(browsers->opened.last(), "default http://bank.example.org");
    EXPECT_EQ(browsers->opened.size(), 3);

    // The entry is deleted: its item goes when it is chosen, and the menu is empty again.
    Preferences::setBool(PrefKey::ConfirmDelete, false);
    a->selectRows({0});
    a->deleteEntries();
    a->document()->wpm()->addRecentWebsiteMenuItemWithTitle("Bank & Co");  // as if left by an older version
    recent->actions().first()->trigger();
    EXPECT_EQ(browsers->opened.size(), 3);
    EXPECT_EQ(recentMenuItems(recent), QStringList{"Clear Menu (off)"});

    ASSERT_TRUE(bringToFront(b));
    recent->actions().last()->trigger();  // "Clear Menu"
    EXPECT_EQ(recentMenuItems(recent), QStringList{"Clear Menu (off)"});
    EXPECT_TRUE(b->document()->wpm()->recentWebsiteTitles().isEmpty());
    setWorkspace(nullptr);
}

TEST(CWBrowserWindow, ShowsTheAddressAndOpensItInTheDefaultBrowser)
{
    auto browsers = std::make_shared<test::RecordingWorkspace>();
    setWorkspace(browsers);
    QPointer<CWBrowser> window = CWBrowser::make();
    window->loadURLRequest("https://shop.example.org/a%20b", 1);
    EXPECT_EQ(window->addressLabel()->text(), "https://shop.example.org/a%20b");
    EXPECT_TRUE(window->autoLoginNote()->isVisible());
    EXPECT_TRUE(window->windowTitle().contains("shop.example.org"));
    ASSERT_TRUE(waitFor([&] { return CWBrowser::keyWindowBrowser() == window; }));

    browsers->defaultStarts = false;
    window->openButton()->click();
    EXPECT_TRUE(window->failureMessage()->isVisible());
    browsers->defaultStarts = true;
    window->openButton()->click();
    EXPECT_EQ(browsers->opened, QStringList(2, "default https://shop.example.org/a%20b"));
    EXPECT_TRUE(waitFor([&] { return window.isNull(); }));  // closed, and gone with its window
    setWorkspace(nullptr);
}

}  // namespace
