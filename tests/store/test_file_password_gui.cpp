// The password panels of a real document window, answered through their buttons: the
// keychain question, the change-password panel, and the question after the window was
// left for another one.
#include "app/Preferences.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/Keychain.h"
#include "store/FilePassword.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"
#include "store/desktop/FilePasswordWindow.h"

#include "app/GuiDriver.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

class PasswordPanels : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys = std::make_shared<MemoryKeychain>();
        setKeychain(keys);
        Preferences::setInteger(PrefKey::PasswordPrompt, 1);
        package = scratch.home() + "/Home.qly";
        ASSERT_TRUE(openNewFileInWindow(package, "pw", document, window, Activate::Yes));
        password = FilePassword::of(document);
        ASSERT_NE(password, nullptr);
    }
    void TearDown() override
    {
        closeWindowAndDocument(document, window);
        setKeychain(nullptr);
    }

    // Types `text` into the password panel once it shows `message`, and presses OK.
    void answerPassword(const QString& message, const QString& text, std::function<void()> then = {})
    {
        PasswordPanel* panel = window->passwordPanel();
        whenReady([panel, message] { return panel->isVisible() && panel->message() == message; },
                  [panel, text, then] {
                      EXPECT_TRUE(panel->field()->text().isEmpty());
                      if (then)
                          then();
                      QTest::keyClicks(panel->field(), text);
                      panel->defaultButton()->click();
                  });
    }

    ScratchHome scratch;
    std::shared_ptr<MemoryKeychain> keys;
    QString package;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
    FilePassword* password = nullptr;
};

TEST_F(PasswordPanels, KeychainChangeAndAskingAgain)
{
    // The keychain question, answered wrong and then right through the panel's buttons.
    const QString keep = QStringLiteral(
        "Choosing this option means that you will not have to enter your file password each time you open the "
        "file, but you must enter it now to enable the option:");
    answerPassword(keep, "wrong", [this] {
        EXPECT_EQ(window->passwordPanel()->messageLabel()->width(), 200);
        answerPassword(QStringLiteral("PASSWORD INCORRECT. Please try again."), "pw");
    });
    ASSERT_TRUE(window->runCommand(QStringLiteral("toggleSavePWInKeychain:")));
    EXPECT_TRUE(document->passwordInKeychain());
    EXPECT_EQ(keys->storedPassword(keychainItemForPackage(package)), QStringLiteral("pw"));
    // The window's own panels do not count as leaving it.
    QApplication::processEvents();
    EXPECT_FALSE(password->promptForPassword());

    // The change panel: OK only for two equal, non-empty new passwords.
    auto* change = window->findChild<ChangePasswordPanel*>(QStringLiteral("framisPanelChange"));
    ASSERT_NE(change, nullptr);
    whenShown(change, [this, change] {
        QPushButton* ok = change->defaultButton();
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(change->oldFramis(), "pw");
        QTest::keyClicks(change->newFramis(), "new1");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(change->newFramis2(), "new");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(change->newFramis2(), "1");
        EXPECT_TRUE(ok->isEnabled());
        whenReady([this] { return window->promptPanel()->isVisible(); }, [this] {
            EXPECT_EQ(window->promptPanel()->message(), QStringLiteral("Password changed."));
            window->promptPanel()->defaultButton()->click();
        });
        ok->click();
    });
    ASSERT_TRUE(window->runCommand(QStringLiteral("changePassword:")));
    EXPECT_EQ(document->fileFramis(), QStringLiteral("new1"));
    EXPECT_EQ(keys->storedPassword(keychainItemForPackage(package)), QStringLiteral("new1"));

    // Leaving the window for another one makes the question due ("passwordPrompt" 1);
    // coming back asks it.
    QMainWindow other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitFor([&] { return password->promptForPassword(); }));
    EXPECT_TRUE(gWebsiteDocument.isNull());
    answerPassword(QStringLiteral("Enter Password:"), "new1");
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return gWebsiteDocument == document; }));
    EXPECT_FALSE(password->promptForPassword());
}

// While OK is off the panel says why; "CURRENT PASSWORD INCORRECT." goes as soon as the
// user mends the fields.
TEST_F(PasswordPanels, ChangePanelSaysWhyOKIsOffAndForgetsTheOldMistake)
{
    auto* change = window->findChild<ChangePasswordPanel*>(QStringLiteral("framisPanelChange"));
    ASSERT_NE(change, nullptr);
    const auto reason = [change] { return change->reason()->isVisible() ? change->reason()->text() : QString(); };
    const QString incorrect = QStringLiteral("CURRENT PASSWORD INCORRECT.");
    whenShown(change, [&] {
        EXPECT_EQ(reason(), "Type the new password in both fields.");
        QTest::keyClicks(change->newFramis(), "a");
        EXPECT_EQ(reason(), "The two new passwords are not the same.");
        QTest::keyClicks(change->newFramis2(), "a");
        EXPECT_EQ(reason(), "");
        EXPECT_TRUE(change->defaultButton()->isEnabled());
        QTest::keyClicks(change->oldFramis(), "wrong");
        whenReady([&] { return change->isVisible() && change->message().startsWith(incorrect); }, [&] {
            EXPECT_EQ(reason(), "Type the new password in both fields.");
            QTest::keyClicks(change->oldFramis(), "p");
            EXPECT_FALSE(change->message().contains(incorrect));
            EXPECT_TRUE(change->message().startsWith("To change the password for this file"));
            whenShown(window->promptPanel(), [this] { window->promptPanel()->defaultButton()->click(); });
            change->otherButton()->click();
        });
        change->defaultButton()->click();
    });
    ASSERT_TRUE(window->runCommand(QStringLiteral("changePassword:")));
    EXPECT_EQ(document->fileFramis(), QStringLiteral("pw"));
}

}  // namespace
