#include "app/Preferences.h"
#include "app/desktop/CreatePasswordFilePanel.h"
#include "app/desktop/OpenPasswordFileDialog.h"
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
#include "support/PrintQString.h"
#include "app/ScratchHome.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorly;

namespace {

// --------------------------------------------------------------------------------------
// The document panels

TEST(DocumentPanels, PromptShowsItsSecondButtonOnlyWhenItHasATitle)
{
    QWidget window;
    window.show();
    PromptPanel panel(&window);

    whenShown(&panel, [&] {
        EXPECT_FALSE(panel.otherButton()->isVisible());
        EXPECT_EQ(panel.defaultButton()->text(), "OK");
        EXPECT_EQ(panel.messageLabel()->text(), "This is not a Quorly file.");
        panel.defaultButton()->click();
    });
    EXPECT_EQ(panel.prompt(&window, "This is not a Quorly file.", "OK"), RunLoop::OKCode);

    whenShown(&panel, [&] {
        EXPECT_TRUE(panel.otherButton()->isVisible());
        EXPECT_EQ(panel.otherButton()->text(), "Keep");
        EXPECT_EQ(panel.defaultButton()->text(), "Replace");
        panel.otherButton()->click();
    });
    EXPECT_EQ(panel.prompt(&window, "Replace it?", "Replace", "Keep"), RunLoop::CancelCode);
    EXPECT_FALSE(panel.isVisible());

    // A one-button prompt between them must not leave the second button hidden for good.
    whenShown(&panel, [&] { panel.defaultButton()->click(); });
    panel.prompt(&window, "Done.", "OK");
    whenShown(&panel, [&] {
        EXPECT_TRUE(panel.otherButton()->isVisible());
        panel.defaultButton()->click();
    });
    EXPECT_EQ(panel.prompt(&window, "Again?", "Yes", "No"), RunLoop::OKCode);
}

TEST(DocumentPanels, SheetOnAShownWindowFreeStandingPanelBeforeIt)
{
    QWidget window;
    PromptPanel panel(&window);

    // The window is not on screen yet: the panel may not hang on it.
    whenShown(&panel, [&] {
        EXPECT_EQ(panel.windowModality(), Qt::ApplicationModal);
        EXPECT_TRUE(panel.isWindow());
        panel.defaultButton()->click();
    });
    EXPECT_EQ(panel.prompt(&window, "Before the window.", "OK"), RunLoop::OKCode);

    window.show();
    QWidget other;
    other.show();
    whenShown(&panel, [&] {
        EXPECT_EQ(panel.windowModality(), Qt::WindowModal);
        EXPECT_EQ(panel.parentWidget(), &window);
        // Only its own window is blocked; another document's window goes on working.
        EXPECT_TRUE(QApplication::activeModalWidget() == &panel || !QApplication::activeModalWidget());
        panel.defaultButton()->click();
    });
    EXPECT_EQ(panel.prompt(&window, "On the window.", "OK"), RunLoop::OKCode);
}

// A window without a saved frame is placed by the desktop only after its password
// question has appeared; the question hangs on it all the same, and follows it.
TEST(DocumentPanels, ASheetStaysOnItsWindowWhereverTheWindowGoes)
{
    QWidget window;
    window.resize(460, 540);
    window.show();
    PromptPanel panel(&window);
    const auto onWindow = [&] {
        const QRect w = window.geometry();
        return panel.pos() == QPoint(w.x() + (w.width() - panel.width()) / 2, w.y() + 24);
    };
    bool followed = false;
    whenShown(&panel, [&] {
        EXPECT_TRUE(onWindow());
        window.windowHandle()->setFramePosition(QPoint(300, 200));  // as the desktop places it
        followed = waitFor([&] { return window.geometry().x() >= 300 && onWindow(); });
        window.move(window.pos() + QPoint(-40, 25));
        followed = followed && waitFor(onWindow);
        panel.defaultButton()->click();
    });
    panel.prompt(&window, "Enter Password:", "OK");
    EXPECT_TRUE(followed);
}

// Two document windows, each asking its own question (B's opened while A's waits). The
// answer given in A's panel belongs to A: B's question stays open until B's own button.
TEST(DocumentPanels, EachWindowsAnswerEndsOnlyItsOwnQuestion)
{
    QWidget windowA;
    QWidget windowB;
    windowA.show();
    windowB.show();
    PromptPanel panelA(&windowA);
    PromptPanel panelB(&windowB);

    int answerB = -5;
    bool bStillAskedAfterA = false;
    whenShown(&panelA, [&] {
        whenShown(&panelB, [&] {
            panelA.defaultButton()->click();  // A's "Delete" while B asks too
            QApplication::processEvents();
            bStillAskedAfterA = panelB.isVisible();
            EXPECT_FALSE(panelA.isVisible());
            panelB.otherButton()->click();
        });
        answerB = panelB.prompt(&windowB, "Delete the entry of B?", "Delete", "Cancel");
    });
    const int answerA = panelA.prompt(&windowA, "Delete the entry of A?", "Delete", "Cancel");
    EXPECT_TRUE(bStillAskedAfterA);
    EXPECT_EQ(answerB, RunLoop::CancelCode);
    EXPECT_EQ(answerA, RunLoop::OKCode);
    EXPECT_EQ(RunLoop::modalDepth(), 0);
}

TEST(DocumentPanels, OKDeliversTheTextStillBeingTypedAndCancelNothing)
{
    QWidget window;
    window.show();
    PasswordPanel panel(&window);

    whenShown(&panel, [&] {
        panel.field()->setFocus();
        QTest::keyClicks(panel.field(), "half typed");  // no Return: still being edited
        panel.defaultButton()->click();
    });
    EXPECT_EQ(panel.ask(&window, "Enter Password:"), QString("half typed"));

    whenShown(&panel, [&] {
        EXPECT_TRUE(panel.field()->text().isEmpty());  // nothing left from the last run
        QTest::keyClicks(panel.field(), "secret");
        panel.otherButton()->click();
    });
    EXPECT_FALSE(panel.ask(&window, "Enter Password:"));

    // An aborted run (the callout timer does this) is not an answer.
    whenShown(&panel, [&] { RunLoop::abortModal(&panel); });
    EXPECT_FALSE(panel.ask(&window, "Enter Password:"));
}

TEST(DocumentPanels, LongMessagesWrapAndThePanelGrows)
{
    PromptPanel panel;
    panel.setMessage("Short.");
    panel.adjustSize();
    const QSize small = panel.size();
    panel.setMessage(
        "To change the password for this file you need to enter the current and the new one twice. By clicking "
        "OK, you acknowledge that you have been hereby warned that if you forget your password it is IMPOSSIBLE "
        "to recover your password data. ");
    panel.adjustSize();
    EXPECT_EQ(panel.width(), small.width());
    EXPECT_GT(panel.height(), small.height() + 2 * panel.fontMetrics().height());
}

// --------------------------------------------------------------------------------------
// The "Create Password File" panel

// Two different passwords, then none, then a good pair. After each "Bad Password" the
// panel comes back as it was left: where the user had moved it, in the folder chosen,
// with the name and the passwords typed.
TEST(CreatePasswordFile, BadPasswordSendsTheUserBackToThePanelAsItWasLeft)
{
    ScratchHome scratch;
    QDir().mkpath(scratch.home() + "/Safe");
    CreatePasswordFilePanel panel;
    QStringList alerts;
    const QPoint placed(123, 77);

    auto answerAlert = [&](std::function<void()> then) {
        whenShown(panel.badPasswordAlert(), [&, then] {
            EXPECT_EQ(panel.badPasswordAlert()->text(), "Bad Password");
            alerts << panel.badPasswordAlert()->informativeText();
            whenShown(panel.dialog(), then);
            panel.badPasswordAlert()->buttons().first()->click();
        });
    };
    whenShown(panel.dialog(), [&] {
        EXPECT_EQ(panel.dialog()->windowTitle(), "Create Password File");
        EXPECT_EQ(panel.dialog()->labelText(QFileDialog::Accept), "Create Password File");
        EXPECT_EQ(QDir(panel.dialog()->directory()).absolutePath(), QDir(scratch.home()).absolutePath());
        EXPECT_EQ(panel.dialog()->findChild<QLineEdit*>("fileNameEdit")->text(), "Untitled");
        EXPECT_TRUE(panel.framis1()->text().isEmpty());
        panel.dialog()->setDirectory(scratch.home() + "/Safe");
        panel.dialog()->windowHandle()->setFramePosition(placed);  // as the window manager moves it
        answerAlert([&] {
            EXPECT_EQ(panel.dialog()->frameGeometry().topLeft(), placed);
            EXPECT_EQ(QDir(panel.dialog()->directory()).absolutePath(), QDir(scratch.home() + "/Safe").absolutePath());
            EXPECT_EQ(panel.dialog()->findChild<QLineEdit*>("fileNameEdit")->text(), "Vault");
            EXPECT_EQ(panel.framis1()->text(), "one");
            EXPECT_EQ(panel.framis2()->text(), "two");
            answerAlert([&] { fillCreatePanel(panel, "Vault", "right", "right"); });
            fillCreatePanel(panel, "Vault", "", "");
        });
        fillCreatePanel(panel, "Vault", "one", "two");
    });

    const auto choice = panel.run();
    ASSERT_TRUE(choice);
    EXPECT_EQ(alerts, (QStringList{
                          "You need to enter the same password twice to create a password file.  Please try again.",
                          "You need to enter a password (twice) to create a password file.  Please try again.",
                      }));
    EXPECT_EQ(choice->path, QDir(scratch.home()).absoluteFilePath("Safe/Vault.qly"));
    EXPECT_EQ(choice->framis, "right");
    EXPECT_TRUE(panel.framis1()->text().isEmpty());  // the password does not linger in the panel
}

TEST(CreatePasswordFile, ATakenNameIsRefusedInThePanel)
{
    ScratchHome scratch;
    QDir().mkpath(scratch.home() + "/Vault.qly/Data.qlyi");
    CreatePasswordFilePanel panel;
    QString refusal;
    whenShown(panel.dialog(), [&] {
        // The refusal is a panel of its own, on top of the save panel.
        whenReady([&] { return qobject_cast<PromptPanel*>(QApplication::activeModalWidget()); }, [&] {
            auto* taken = qobject_cast<PromptPanel*>(QApplication::activeModalWidget());
            refusal = taken->message();
            taken->defaultButton()->click();
            whenReady([&] { return QApplication::activeModalWidget() == panel.dialog(); }, [&] {
                panel.dialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            });
        });
        fillCreatePanel(panel, "Vault", "pw", "pw");
    });
    EXPECT_FALSE(panel.run());
    EXPECT_EQ(refusal, "\u201cVault.qly\u201d already exists. Choose another name for the new password file.");
    EXPECT_TRUE(QFileInfo::exists(scratch.home() + "/Vault.qly/Data.qlyi"));
}

// --------------------------------------------------------------------------------------
// The Open… panel

// Home holds the password file Big.qly, a folder with another one inside, and a text
// file. The panel lists the two folders only; a double-click on a password file opens
// it, Open on another folder goes into it, and Return on a password file there opens it.
TEST(OpenPanel, APasswordFileIsOneItemAndOtherFoldersAreForMovingAbout)
{
    ScratchHome scratch;
    const QString home = scratch.home();
    for (const char* file : {"/Big.qly/Data.qlyi", "/Folder/Inner.qly/Data.qlyi", "/notes.txt"}) {
        QFileInfo info(home + file);
        QDir().mkpath(info.path());
        QFile(info.filePath()).open(QIODevice::WriteOnly);
    }
    // The panel's list as the user sees it (list or detail view), and a row of it.
    const auto view = [](QFileDialog& dialog) {
        auto* list = dialog.findChild<QAbstractItemView*>("listView");
        return list && list->isVisible() ? list : dialog.findChild<QAbstractItemView*>("treeView");
    };
    const auto listed = [&](QFileDialog& dialog) {
        QAbstractItemView* v = view(dialog);
        QStringList names;
        for (int row = 0; row < v->model()->rowCount(v->rootIndex()); ++row)
            names << v->model()->index(row, 0, v->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    const auto spot = [&](QFileDialog& dialog, const QString& path) {
        return view(dialog)->visualRect(dialog.findChild<QFileSystemModel*>()->index(path)).center();
    };

    OpenPasswordFileDialog first;
    first.show();
    ASSERT_TRUE(waitFor([&] { return listed(first) == QStringList{"Big.qly", "Folder"}; }))
        << listed(first).join(',').toStdString();
    // A double-click: a click, then the second press.
    QTest::mouseClick(view(first)->viewport(), Qt::LeftButton, {}, spot(first, home + "/Big.qly"));
    QTest::mouseDClick(view(first)->viewport(), Qt::LeftButton, {}, spot(first, home + "/Big.qly"));
    EXPECT_TRUE(waitFor([&] { return first.result() == QDialog::Accepted; }));
    EXPECT_EQ(first.chosenPackage(), home + "/Big.qly");

    OpenPasswordFileDialog second;
    second.show();
    ASSERT_TRUE(waitFor([&] { return listed(second).contains("Folder"); }));
    QTest::mouseClick(view(second)->viewport(), Qt::LeftButton, {}, spot(second, home + "/Folder"));
    second.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(second.directory().absolutePath(), home + "/Folder");
    ASSERT_TRUE(waitFor([&] { return listed(second) == QStringList{"Inner.qly"}; }));
    QTest::mouseClick(view(second)->viewport(), Qt::LeftButton, {}, spot(second, home + "/Folder/Inner.qly"));
    QTest::keyClick(view(second), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return second.result() == QDialog::Accepted; }));
    EXPECT_EQ(second.chosenPackage(), home + "/Folder/Inner.qly");
}

}  // namespace
