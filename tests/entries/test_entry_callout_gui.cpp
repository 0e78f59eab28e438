// The entry editor callout of a real document window over a real password file, driven
// through its fields, buttons and keys.
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryCallout.h"
#include "entries/desktop/EntryTableController.h"
#include "entries/desktop/KTTableViewArray.h"
#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/FilePassword.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include "app/GuiDriver.h"
#include "entries/EditInCallout.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"
#include "store/DocumentTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

class EntryCalloutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        package = scratch.home() + "/Callout.qly";
        ASSERT_TRUE(openNewFileInWindow(package, "pw", document, window));
        for (const char* name : {"Zoo", "Mail", "Bank", "alpha"}) {
            Entry e = newEntryForAdd();
            e.setName(QString::fromLatin1(name));
            list().append(makeEntry(e));
        }
        list().at(1)->setString(EntryKey::WebsiteUserID2, "second");
        ASSERT_TRUE(document->KTTableViewArrayChanged());  // Bank Mail Zoo alpha
        window->reloadList();
    }
    void TearDown() override
    {
        closeWindowAndDocument(document, window);
        gWebsiteItem.reset();
    }

    EntryList& list() { return document->passwordArray(); }
    EntryCallout* editor() { return window->tableController()->entryCallout(); }
    PWDataCalloutView* view() { return editor()->pwDataCalloutView(); }
    QStringList names() { return test::namesOf(list()); }
    QStringList storedNames()
    {
        QStringList result;
        for (const EntryRef& e : test::readEntriesFile(document->dataPath(), "pw").value_or(QList<EntryRef>{}))
            result << e->name();
        return result;
    }
    // Runs `answer` in the open callout, then opens it on row `row` (-1: Add).
    void edit(int row, std::function<void(PWDataCalloutView*)> answer)
    {
        editInCallout(window, row, [this, answer] { answer(view()); });
        EXPECT_FALSE(editor()->isOpen());
    }
    static void retype(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    }

    ScratchHome scratch;
    QString package;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
};

}  // namespace

TEST_F(EntryCalloutTest, NewEntryKeepsItsNameOnlyAfterAnotherChangeAndWhileNoOtherHasIt)
{
    list().append(makeEntry(newEntryForAdd()));  // another "(New)"
    ASSERT_TRUE(document->KTTableViewArrayChanged());
    const QStringList before = storedNames();
    edit(-1, [](PWDataCalloutView* v) {
        EXPECT_EQ(v->nameText->text(), "(New)");
        EXPECT_TRUE(v->nameExistsWarning->isVisibleTo(v));
        QTest::keyClicks(v->urlText, "example.org");
        EXPECT_FALSE(v->okButton->isEnabled());
        QTest::keyClick(v->urlText, Qt::Key_Escape);
    });
    EXPECT_EQ(names(), before);
    EXPECT_EQ(storedNames(), before);

    list().removeAt(list().indexOfEqual(newEntryForAdd()));
    ASSERT_TRUE(document->KTTableViewArrayChanged());
    edit(-1, [](PWDataCalloutView* v) {
        EXPECT_FALSE(v->nameExistsWarning->isVisibleTo(v));
        EXPECT_FALSE(v->okButton->isEnabled());
        QTest::keyClick(v->nameText, Qt::Key_Return);  // not saveable: stays open
        QTest::keyClicks(v->urlText, "example.org");
        EXPECT_TRUE(v->okButton->isEnabled());
        QTest::keyClick(v->urlText, Qt::Key_Return);
    });
    EXPECT_EQ(storedNames(), (QStringList{"(New)", "Bank", "Mail", "Zoo", "alpha"}));
    EXPECT_EQ(list().at(0)->string(EntryKey::WebsiteURL), "example.org");
    EXPECT_EQ(window->table()->selectedRowIndexes(), QList<int>{0});
}

TEST_F(EntryCalloutTest, SaveFollowsTheDifferenceAndTheNameRules)
{
    document->wpm()->addRecentWebsiteMenuItemWithTitle("Bank");
    gWebsiteDocument = nullptr;
    edit(0, [this](PWDataCalloutView* v) {
        // The login automation (a hot key pressed now) acts on the copy being edited.
        EXPECT_EQ(gWebsiteDocument, document);
        EXPECT_EQ(gWebsiteItem, editor()->editedEntry());
        EXPECT_FALSE(v->okButton->isEnabled());  // opened, nothing changed
        QTest::keyClicks(v->passwordText, "x");
        EXPECT_TRUE(v->okButton->isEnabled());
        QTest::keyClick(v->passwordText, Qt::Key_Backspace);
        EXPECT_FALSE(v->okButton->isEnabled());  // typed and undone
        retype(v->nameText, "Mail");
        EXPECT_TRUE(v->nameExistsWarning->isVisibleTo(v));
        EXPECT_FALSE(v->okButton->isEnabled());
        retype(v->nameText, "");
        EXPECT_TRUE(v->nameExistsWarning->isVisibleTo(v));
        retype(v->nameText, "bank");  // only its case differs from its own name
        EXPECT_FALSE(v->nameExistsWarning->isVisibleTo(v));
        v->okButton->click();
    });
    EXPECT_EQ(storedNames(), (QStringList{"Mail", "Zoo", "alpha", "bank"}));
    EXPECT_EQ(document->wpm()->recentWebsiteTitles(), QStringList{"bank"});
    EXPECT_EQ(window->table()->selectedRowIndexes(), QList<int>{3});
    EXPECT_EQ(gWebsiteItem, list().at(3));  // the list's own entry, not the edited copy
}

TEST_F(EntryCalloutTest, EmptiedSecondUserIDIsRemovedAndReadOnlyNeverSaves)
{
    edit(1, [](PWDataCalloutView* v) {
        EXPECT_EQ(v->userID2Text->text(), "second");
        retype(v->userID2Text, "");
        v->okButton->click();
    });
    const auto stored = test::readEntriesFile(document->dataPath(), "pw");
    ASSERT_TRUE(stored && stored->size() == 4);
    EXPECT_FALSE(stored->at(1)->contains(EntryKey::WebsiteUserID2));
    EXPECT_FALSE(list().at(1)->contains(EntryKey::WebsiteUserID2));

    window->setWriteable(false);
    edit(1, [](PWDataCalloutView* v) {
        QTest::keyClicks(v->userID1Text, "someone");
        EXPECT_FALSE(v->okButton->isEnabled());
        v->cancelButton->click();
    });
    EXPECT_FALSE(list().at(1)->contains(EntryKey::WebsiteUserID));
}

TEST_F(EntryCalloutTest, AnEditSavedAfterAnotherWriterJoinsItsChangeAndAsksOnlyAboutTheSameEntry)
{
    // Another writer stores the file while the callout is open on row 0 ("Bank"):
    // `change` turns the stored list into the other writer's.
    auto saveWhileAnotherWrites = [&](std::function<void(QList<Entry>&)> change, const QString& typed) {
        edit(0, [&, change, typed](PWDataCalloutView* v) {
            QList<Entry> others;
            for (const EntryRef& e : test::readEntriesFile(document->dataPath(), "pw").value_or(QList<EntryRef>{}))
                others << *e;
            change(others);
            test::writeEntriesFile(document->dataPath(), others, "pw");
            QTest::keyClicks(v->passwordText, typed);
            v->okButton->click();
        });
    };
    auto stored = [&](const QString& name) {
        for (const EntryRef& e : test::readEntriesFile(document->dataPath(), "pw").value_or(QList<EntryRef>{})) {
            if (e->name() == name)
                return e->string(EntryKey::WebsitePassword);
        }
        return QStringLiteral("(none)");
    };
    bool asked = false;
    const auto answerDefault = [&] {
        whenShown(window->promptPanel(), [&] {
            asked = true;
            window->promptPanel()->defaultButton()->click();
        });
    };

    answerDefault();
    saveWhileAnotherWrites([](QList<Entry>& others) { others << test::entry("Elsewhere"); }, "!");
    EXPECT_FALSE(asked);
    EXPECT_EQ(storedNames(), (QStringList{"Bank", "Elsewhere", "Mail", "Zoo", "alpha"}));
    EXPECT_EQ(stored("Bank"), "!");
    EXPECT_EQ(names(), storedNames());  // the window shows what was stored

    saveWhileAnotherWrites([](QList<Entry>& others) { others[0].setString(EntryKey::WebsitePassword, "theirs"); },
                           "?");
    EXPECT_TRUE(asked);
    EXPECT_EQ(stored("Bank"), "theirs");
    EXPECT_EQ(stored("Bank (CONFLICTED)"), "!?");
    window->promptPanel()->hide();
}

TEST_F(EntryCalloutTest, InactivityClosesTheCalloutAsACancel)
{
    FilePassword* password = FilePassword::of(document);
    ASSERT_TRUE(password);
    const QStringList before = storedNames();
    edit(-1, [&](PWDataCalloutView* v) {
        QTest::keyClicks(v->nameText, "Left");
        // The 30 seconds after the user went to another program, shortened.
        password->calloutTimer()->start(10, false);
    });
    EXPECT_EQ(names(), before);
    EXPECT_EQ(storedNames(), before);
    EXPECT_EQ(view()->parentWidget(), window);  // the view went home for the next callout
}

// The callout moves with its window and keeps pointing at its row when the window is
// moved or its top edge dragged.
TEST_F(EntryCalloutTest, FollowsItsWindowAndKeepsPointingAtItsRow)
{
    window->setGeometry(60, 60, 360, 400);
    QApplication::processEvents();
    edit(1, [this](PWDataCalloutView* v) {
        MAAttachedWindow* callout = editor()->callout();
        ASSERT_TRUE(callout);
        // In Qt's global coordinates: the callout's anchor, and the spot 2 above the
        // middle of the entry's row that it must be.
        const auto anchor = [&] {
            const QPoint origin = window->mapToGlobal(QPoint(0, window->height()));
            return QPoint(origin.x() + qRound(callout->point().x()), origin.y() - qRound(callout->point().y()));
        };
        const auto rowSpot = [&] {
            const QRect row = window->table()->visualRect(window->table()->model()->index(1, 0));
            return window->table()->viewport()->mapToGlobal(QPoint(0, row.center().y())).y() - 2;
        };
        const QPoint offset = callout->pos() - anchor();
        const auto followed = [&] {
            return std::abs(anchor().y() - rowSpot()) <= 1 && callout->pos() - anchor() == offset;
        };
        ASSERT_TRUE(followed());

        window->move(window->pos() + QPoint(40, 30));
        EXPECT_TRUE(waitFor(followed)) << callout->pos().y() << " " << anchor().y() << " " << rowSpot();
        const QRect g = window->geometry();
        window->setGeometry(g.adjusted(0, 50, 0, 0));  // the top edge dragged down
        EXPECT_TRUE(waitFor(followed)) << callout->pos().y() << " " << anchor().y() << " " << rowSpot();
        v->cancelButton->click();
    });
}

// The name warning has its own line: showing it squeezes nothing, and the login
// options keep the height their texts need.
TEST_F(EntryCalloutTest, NameWarningTakesNoRoomFromTheLoginOptions)
{
    edit(0, [](PWDataCalloutView* v) {
        QWidget* login = v->userIDOptions->parentWidget();
        const QRect before = login->geometry();
        retype(v->nameText, "Mail");
        ASSERT_TRUE(v->nameExistsWarning->isVisibleTo(v));
        QApplication::processEvents();
        EXPECT_EQ(login->geometry(), before);
        for (QComboBox* popUp : {v->userIDOptions, v->passwordOptions, v->browserPopup})
            EXPECT_GE(popUp->height(), popUp->sizeHint().height());
        v->cancelButton->click();
    });
}

// Another window asks a question while the callout is open, and the callout is answered
// first: it goes at once (its run returns once the other question is answered), rather
// than staying on screen with buttons that no longer do anything.
TEST_F(EntryCalloutTest, AnsweredWhileAnotherWindowAsksItGoesAtOnce)
{
    QWidget other;
    other.show();
    PromptPanel question(&other);
    bool goneAtOnce = false;
    edit(0, [&](PWDataCalloutView* v) {
        whenShown(&question, [&] {
            v->cancelButton->click();
            QApplication::processEvents();
            goneAtOnce = !editor()->callout()->isVisible() && question.isVisible();
            question.defaultButton()->click();
        });
        question.prompt(&other, "Another window's question", "OK");
    });
    EXPECT_TRUE(goneAtOnce);
}
