// The preferences panel, the help window and the support message, driven through the
// application controller and its real widgets (offscreen).
#include "app/HotKeyInstaller.h"
#include "app/Preferences.h"
#include "app/desktop/Controller.h"
#include "app/desktop/HelpViewer.h"
#include "app/desktop/HotKeyField.h"
#include "app/desktop/PreferencesPanel.h"
#include "entries/desktop/DocumentPanels.h"
#include "platform/Diagnostics.h"
#include "platform/RunLoop.h"
#include "store/Globals.h"

#include "app/GuiDriver.h"
#include "app/ScratchHome.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

// Records what the controller asks of the hot keys, in order.
class RecordingInstaller : public HotKeyInstaller {
public:
    explicit RecordingInstaller(QStringList* calls) : calls_(calls) {}
    void installHandler() override { *calls_ << "install"; }
    void registerHotKeys() override
    {
        // Registration reads the keys: they must be written by then.
        *calls_ << "register " + Preferences::string(PrefKey::HotkeyUserID);
    }
    void unRegisterHotKeys() override { *calls_ << "unregister"; }

private:
    QStringList* calls_;
};

QByteArray storeBytes()
{
    QFile file(Preferences::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class AppShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller = std::make_unique<Controller>();
        controller->setHotKeyInstaller(std::make_unique<RecordingInstaller>(&hotKeyCalls));
        controller->setQuitApplication([] {});
        controller->awakeFromNib();
        hotKeyCalls.clear();
        panel = controller->preferencesPanel();
    }
    void TearDown() override
    {
        controller.reset();
        clearGFramis();
    }

    // Opens the panel and runs `use` on it once it shows; returns when its run ends.
    void withPanel(std::function<void()> use)
    {
        bool used = false;
        whenShown(panel, [&] {
            used = true;
            use();
        });
        controller->preferences();
        EXPECT_TRUE(used);
        EXPECT_FALSE(panel->isVisible());
    }

    QAction* menuItem(const QString& menu, const QString& title)
    {
        for (QAction* item : Controller::findSubmenu(controller->mainMenu(), {menu})->actions()) {
            if (item->text() == title)
                return item;
        }
        return nullptr;
    }

    ScratchHome scratch;
    QStringList hotKeyCalls;
    std::unique_ptr<Controller> controller;
    PreferencesPanel* panel = nullptr;
};

TEST_F(AppShell, OKWritesEveryControlAndRegistersTheNewHotKeys)
{
    Preferences::setInteger(PrefKey::TypeSpeed, 80);
    Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 0);
    Preferences::setInteger(PrefKey::PasswordPrompt, 4);
    Preferences::setBool(PrefKey::HoverNotes, true);

    withPanel([&] {
        EXPECT_EQ(panel->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(panel->hotkeyUserID()->text(), "u");
        EXPECT_TRUE(panel->hotkeyUserIDCommand()->isChecked());
        EXPECT_TRUE(panel->hotkeyUserIDControl()->isChecked());
        EXPECT_FALSE(panel->hotkeyUserIDShift()->isChecked());
        EXPECT_EQ(panel->waitForPageLoadDelay()->text(), "10");
        EXPECT_TRUE(panel->typeSwitch()->isChecked());
        EXPECT_TRUE(panel->typeSpeedSlider()->isEnabled());
        EXPECT_EQ(panel->typeSpeedSlider()->value(), 80);
        EXPECT_EQ(panel->passwordPromptPopup()->currentText(), "After 3 minutes");
        EXPECT_EQ(panel->clipboardClearPopup()->currentText(), "After 30 seconds");
        EXPECT_EQ(panel->generatedPasswordLength()->currentData().toLongLong(), 8);
        EXPECT_TRUE(panel->hoverUserID()->isChecked());
        EXPECT_TRUE(panel->hoverNotes()->isChecked());
        EXPECT_TRUE(panel->confirmDeleteSwitch()->isChecked());

        // A key pressed with modifiers leaves its plain character; a second replaces it.
        QTest::keyClick(panel->hotkeyUserID(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(panel->hotkeyUserID(), Qt::Key_J);
        panel->hotkeyUserIDCommand()->click();
        panel->hotkeyPasswordShift()->click();
        panel->waitForPageLoadDelay()->setText("0");
        panel->typeSwitch()->click();  // off: paste
        panel->generatedPasswordLength()->setCurrentIndex(panel->generatedPasswordLength()->findData(24));
        panel->hoverURL()->click();
        panel->confirmDeleteSwitch()->click();
        panel->clipboardClearPopup()->setCurrentIndex(panel->clipboardClearPopup()->findData(0));
        EXPECT_TRUE(hotKeyCalls.isEmpty());  // nothing happens before OK
        panel->okButton()->click();
    });

    EXPECT_EQ(hotKeyCalls, (QStringList{"unregister", "register j"}));
    EXPECT_EQ(Preferences::string(PrefKey::HotkeyUserID), "j");
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags), 0x1000);
    EXPECT_EQ(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags), 4352 + 0x200);
    EXPECT_EQ(Preferences::integer(PrefKey::BrowserPageLoadDelay), 0);
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 0);
    EXPECT_EQ(Preferences::integer(PrefKey::GeneratedPasswordLength), 24);
    EXPECT_EQ(Preferences::integer(PrefKey::PasswordPrompt), 4);  // untouched, kept
    EXPECT_TRUE(Preferences::boolean(PrefKey::HoverURL));
    EXPECT_FALSE(Preferences::boolean(PrefKey::ConfirmDelete));
    EXPECT_EQ(Preferences::integer(PrefKey::ClipboardClearSeconds), 0);  // never

    // The next opening shows the store afresh: no wait is shown as 10 again, and the
    // switch on by hand starts typing at 50.
    withPanel([&] {
        EXPECT_EQ(panel->waitForPageLoadDelay()->text(), "10");
        EXPECT_FALSE(panel->typeSpeedSlider()->isEnabled());
        panel->typeSwitch()->click();
        EXPECT_TRUE(panel->typeSpeedSlider()->isEnabled());
        EXPECT_EQ(panel->typeSpeedSlider()->value(), 50);
        panel->okButton()->click();
    });
    EXPECT_EQ(Preferences::integer(PrefKey::BrowserPageLoadDelay), 10);
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 50);
}

TEST_F(AppShell, CancelAndEscapeLeaveEveryKeyAndTheHotKeysAlone)
{
    const QByteArray before = storeBytes();
    ASSERT_FALSE(before.isEmpty());
    const auto changeEverything = [&] {
        QTest::keyClick(panel->hotkeyPassword(), Qt::Key_Backspace);
        panel->hotkeyUserIDShift()->click();
        panel->waitForPageLoadDelay()->setText("30");
        panel->typeSwitch()->click();
        panel->passwordPromptPopup()->setCurrentIndex(3);
        panel->hoverPassword()->click();
    };
    withPanel([&] {
        changeEverything();
        EXPECT_EQ(panel->hotkeyPassword()->text(), "");
        panel->cancelButton()->click();
    });
    withPanel([&] {
        // Nothing of the abandoned edit is shown again.
        EXPECT_EQ(panel->hotkeyPassword()->text(), "p");
        EXPECT_EQ(panel->waitForPageLoadDelay()->text(), "10");
        changeEverything();
        QTest::keyClick(panel, Qt::Key_Escape);
    });
    EXPECT_EQ(storeBytes(), before);
    EXPECT_TRUE(hotKeyCalls.isEmpty());
}

TEST_F(AppShell, TheHotKeyFieldKeepsOneCharacter)
{
    HotKeyField field;
    field.setText("u");
    QTest::keyClick(&field, Qt::Key_U, Qt::ShiftModifier);
    EXPECT_EQ(field.text(), "u");
    QTest::keyClick(&field, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(field.text(), "p");
    QTest::keyClick(&field, Qt::Key_5);
    EXPECT_EQ(field.text(), "5");
    // A dead key or a modifier alone brings no character: the field stays as it was.
    for (Qt::Key key : {Qt::Key_Dead_Acute, Qt::Key_Shift, Qt::Key_F3}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString());
        QApplication::sendEvent(&field, &press);
    }
    EXPECT_EQ(field.text(), "5");
    QTest::keyClick(&field, Qt::Key_Delete);
    EXPECT_EQ(field.text(), "");
}

// --------------------------------------------------------------------------------------
// Help

QStringList menuTitles(const QList<QAction*>& items)
{
    QStringList titles;
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        titles << QString(item->text()).remove(u'&');
        // The recent websites are entries' names, not the program's own items.
        if (item->menu() && titles.last() != "Go To Recent Website")
            titles << menuTitles(item->menu()->actions());
    }
    return titles;
}

TEST_F(AppShell, EveryMenuItemAndPreferenceHasItsPlaceInTheHelp)
{
    HelpViewer* help = controller->helpViewer();
    const QStringList anchors = help->anchors();
    const QStringList titles = menuTitles(controller->mainMenu()->actions());
    EXPECT_GT(titles.size(), 30);
    for (const QString& title : titles)
        EXPECT_TRUE(anchors.contains(title)) << title.toStdString();
    for (const QString& key : {PrefKey::HotkeyUserID, PrefKey::HotkeyPassword, PrefKey::BrowserPageLoadDelay,
                               PrefKey::TypeSpeed, PrefKey::GeneratedPasswordLength, PrefKey::PasswordPrompt,
                               PrefKey::HoverUserID, PrefKey::HoverPassword, PrefKey::HoverURL, PrefKey::HoverNotes,
                               PrefKey::ConfirmDelete, PrefKey::ClipboardClearSeconds})
        EXPECT_TRUE(anchors.contains(key)) << key.toStdString();

    // The menu item opens the help at its own title; iosHelp at "ios"; any other
    // sender's title is passed on unchanged.
    menuItem("Help", "Quorly Help")->trigger();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->shownAnchor(), "Quorly Help");
    menuItem("Help", "Password Files on Other Devices")->trigger();
    EXPECT_EQ(help->shownAnchor(), "ios");
    controller->showHelp("Passwords");
    EXPECT_EQ(help->shownAnchor(), "Passwords");
    EXPECT_EQ(help->contents()->topLevelItemCount(), 1);

    // Searching lists the sections holding every word.
    EXPECT_TRUE(help->sectionsMatching("clipboard PASTE").contains("Logging In"));
    EXPECT_TRUE(help->sectionsMatching("clipboard xyzzy").isEmpty());
}

// --------------------------------------------------------------------------------------
// The support message

TEST_F(AppShell, EmailTheAuthorHandsTheMessageToTheMailProgram)
{
    QList<QUrl> opened;
    bool mailProgram = true;
    controller->setURLOpener([&](const QUrl& url) {
        opened << url;
        return mailProgram;
    });
    controller->setJournal([] { return QStringLiteral("Jan 01 kernel: unrelated\nJan 01 quorly[12]: saved & done\n"); });
    const QString reports = Diagnostics::crashReportsFolder();
    QDir().mkpath(reports);
    QFile report(reports + "/Quorly_2026-01-01-120000_12.crash");
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write("Quorly crash report\nSignal: 11 SIGSEGV\n");
    report.close();

    menuItem("Help", "Email the Author")->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().scheme(), "mailto");
    const QByteArray link = opened.first().toEncoded();
    EXPECT_TRUE(link.startsWith("mailto:support@quorly.example?Subject=Quorly%20v3.2&body=")) << link.constData();
    const QString body = QUrl::fromPercentEncoding(link.mid(link.indexOf("&body=") + 6));
    EXPECT_TRUE(body.contains("hotkeyUserID = u;"));
    EXPECT_TRUE(body.contains("quorly[12]: saved & done\r\n"));
    EXPECT_FALSE(body.contains("unrelated"));
    EXPECT_TRUE(body.contains("Crash Report   --------------------------\r\nQuorly crash report"));

    // Without a mail program the user is told where to write instead.
    mailProgram = false;
    QString told;
    whenShown(controller->alertPanel(), [&] {
        told = controller->alertPanel()->message();
        controller->alertPanel()->defaultButton()->click();
    });
    menuItem("Help", "Email the Author")->trigger();
    EXPECT_TRUE(told.contains("support@quorly.example")) << told.toStdString();
}

}  // namespace
