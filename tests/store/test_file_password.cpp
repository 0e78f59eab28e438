// The file password of an open document: the keychain at open, keeping the password in
// the keychain, changing it, and asking again after the window was left. Scripted
// panels, an in-memory keychain, real package files.
#include "store/DocumentTestSupport.h"

#include "app/Preferences.h"
#include "login/WebsitePasswordManager.h"
#include "platform/RunLoop.h"
#include "store/CipherEngine.h"
#include "store/FilePassword.h"
#include "store/Globals.h"
#include "store/NewPasswordFile.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;

namespace {

const QString kEnter = QStringLiteral("Enter Password:");
const QString kIncorrect = QStringLiteral("PASSWORD INCORRECT. Please try again.");
const QString kNotChanged = QStringLiteral("Password NOT changed.");
const QString kChanged = QStringLiteral("Password changed.");

bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class FilePasswordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch();
        dir = std::make_unique<QTemporaryDir>(scratch().root() + QStringLiteral("/fpXXXXXX"));
        package = copyFixturePackage(QStringLiteral("current.qly"), dir->path() + QStringLiteral("/Home.qly"));
        clearGFramis();
        keys = std::make_shared<MemoryKeychain>();
        setKeychain(keys);
        Preferences::remove(PrefKey::PasswordPrompt);
    }
    void TearDown() override
    {
        if (document)
            document->close();
        document.reset();
        setKeychain(nullptr);
        gWebsiteDocument = nullptr;
    }

    // Opens the package with the keychain and `passwords` for the panel.
    void open(QStringList passwords = {kFixturePassword})
    {
        if (document)
            document->close();
        window = std::make_unique<ScriptedWindow>(std::move(passwords));
        document = std::make_unique<MyDocument>(package);
        window->document = document.get();
        document->setWindow(window.get());
        document->setKeychainLookup(
            [this](const QString& path) { return keys->findGenericPassword(keychainItemForPackage(path)); });
        document->openDatabase();
        password = new FilePassword(document.get());
        password->setChangePanel([this](const QString& message) -> std::optional<PasswordChangeAnswer> {
            changeMessages << message;
            if (changeAnswers.isEmpty())
                return std::nullopt;
            return changeAnswers.takeFirst();
        });
    }

    KeychainItemKey item() const { return keychainItemForPackage(package); }

    std::unique_ptr<QTemporaryDir> dir;
    QString package;
    std::shared_ptr<MemoryKeychain> keys;
    std::unique_ptr<ScriptedWindow> window;
    std::unique_ptr<MyDocument> document;
    FilePassword* password = nullptr;
    QStringList changeMessages;
    QList<PasswordChangeAnswer> changeAnswers;
};

TEST_F(FilePasswordTest, KeychainAtOpen)
{
    // An item stored under the file's name alone (by an earlier version) that does not
    // open the file is another same-named file's: asked, no check mark, left alone.
    const KeychainItemKey byName{QStringLiteral("Home"), QString()};
    keys->addLegacyItem(byName.account, QStringLiteral("another file's"));
    open({kFixturePassword});
    ASSERT_TRUE(document->isOpen());
    EXPECT_EQ(window->passwordPrompts, QStringList{kEnter});
    EXPECT_FALSE(document->passwordInKeychain());
    EXPECT_EQ(keys->storedPassword(byName), QStringLiteral("another file's"));
    // One that opens it asks nothing and becomes this file's own.
    keys->deleteItem(byName);
    keys->addLegacyItem(byName.account, kFixturePassword);
    open({});
    ASSERT_TRUE(document->isOpen());
    EXPECT_TRUE(window->passwordPrompts.isEmpty());
    EXPECT_TRUE(document->passwordInKeychain());
    EXPECT_EQ(keys->storedPassword(item()), kFixturePassword);
    EXPECT_EQ(keys->itemCount(), 1);
    keys->deleteItem(item());

    // A stored password that no longer opens the file leads to the panel; the item is
    // left as it is and the check mark stays on.
    keys->addGenericPassword(item(), QStringLiteral("changed elsewhere"));
    open({kFixturePassword});
    ASSERT_TRUE(document->isOpen());
    EXPECT_EQ(window->passwordPrompts, QStringList{kEnter});
    EXPECT_TRUE(document->passwordInKeychain());
    EXPECT_EQ(keys->storedPassword(item()), QStringLiteral("changed elsewhere"));

    // A keyring that refuses access: asked, and the check mark on.
    keys->setRefuseAccess(true);
    open({QStringLiteral("wrong"), kFixturePassword});
    ASSERT_TRUE(document->isOpen());
    EXPECT_EQ(window->passwordPrompts, (QStringList{kEnter, kIncorrect}));
    EXPECT_TRUE(document->passwordInKeychain());
    keys->setRefuseAccess(false);

    // A file just created asks nothing and shows the check mark off, whatever an item of
    // the same name holds.
    const QString created = dir->path() + QStringLiteral("/New.qly");
    ASSERT_TRUE(createPasswordFile(created, QStringLiteral("fresh")));
    keys->addGenericPassword(keychainItemForPackage(created), QStringLiteral("stale"));
    package = created;
    gFramis = QStringLiteral("fresh");
    const int lookups = keys->lookupCount();
    open({});
    ASSERT_TRUE(document->isOpen());
    EXPECT_TRUE(window->passwordPrompts.isEmpty());
    EXPECT_FALSE(document->passwordInKeychain());
    EXPECT_EQ(keys->lookupCount(), lookups);
}

TEST_F(FilePasswordTest, KeepInKeychain)
{
    const QString keep = QStringLiteral(
        "Choosing this option means that you will not have to enter your file password each time you open the "
        "file, but you must enter it now to enable the option:");
    open();
    // Cancel: nothing changes.
    window->passwordPrompts.clear();
    password->toggleSavePWInKeychain();
    EXPECT_EQ(window->passwordPrompts, QStringList{keep});
    EXPECT_EQ(keys->itemCount(), 0);
    EXPECT_FALSE(document->passwordInKeychain());

    // Asked although the file is open, until the right password.
    window->passwordPrompts.clear();
    window->passwords = {QStringLiteral("wrong"), kFixturePassword};
    password->toggleSavePWInKeychain();
    EXPECT_EQ(window->passwordPrompts, (QStringList{keep, kIncorrect}));
    EXPECT_EQ(keys->storedPassword(item()), kFixturePassword);
    EXPECT_TRUE(document->passwordInKeychain());

    // The next open asks nothing.
    open({});
    EXPECT_TRUE(document->isOpen());
    EXPECT_TRUE(window->passwordPrompts.isEmpty());

    // Off: the item goes, without a question.
    password->toggleSavePWInKeychain();
    EXPECT_FALSE(document->passwordInKeychain());
    EXPECT_EQ(keys->itemCount(), 0);
    EXPECT_TRUE(window->passwordPrompts.isEmpty());

    // A failed add changes nothing and says nothing.
    keys->setFailWrites(true);
    window->passwords = {kFixturePassword};
    password->toggleSavePWInKeychain();
    EXPECT_FALSE(document->passwordInKeychain());
    EXPECT_TRUE(window->messages.isEmpty());
    keys->setFailWrites(false);

    // No keychain: said once, no password asked for.
    keys->setAvailable(false);
    window->passwordPrompts.clear();
    password->toggleSavePWInKeychain();
    password->toggleSavePWInKeychain();
    ASSERT_EQ(window->messages.size(), 1);
    EXPECT_TRUE(window->messages.first().startsWith(QStringLiteral("No keychain is available")));
    EXPECT_TRUE(window->passwordPrompts.isEmpty());
    EXPECT_FALSE(document->passwordInKeychain());
}

TEST_F(FilePasswordTest, ChangePassword)
{
    keys->addGenericPassword(item(), kFixturePassword);
    open({});
    ASSERT_TRUE(document->passwordInKeychain());
    const QString titles = package + QStringLiteral("/Recent Websites.qlyi");
    const auto before = snapshot(package);

    // Cancel.
    password->changePassword();
    EXPECT_EQ(window->messages, QStringList{kNotChanged});
    EXPECT_EQ(snapshot(package), before);

    // A wrong current password, then the right one.
    window->messages.clear();
    changeMessages.clear();
    const QString fresh = QStringLiteral("n\u00e9w p\u00e4ss");
    changeAnswers = {{QStringLiteral("wrong"), fresh}, {kFixturePassword, fresh}};
    password->changePassword();
    ASSERT_EQ(changeMessages.size(), 2);
    EXPECT_TRUE(changeMessages[1].startsWith(QStringLiteral("CURRENT PASSWORD INCORRECT.\rTo change the password")));
    EXPECT_EQ(changeMessages[1].mid(28), changeMessages[0]);
    EXPECT_EQ(window->messages, QStringList{kChanged});
    EXPECT_EQ(document->fileFramis(), fresh);

    // Both files are under the new password only; the item holds it.
    EXPECT_TRUE(readEntriesFile(package + QStringLiteral("/Data.qlyi"), fresh).has_value());
    EXPECT_FALSE(readEntriesFile(package + QStringLiteral("/Data.qlyi"), kFixturePassword).has_value());
    QTemporaryDir out;
    selectCurrentParameters();
    EXPECT_TRUE(framisD(titles, fresh, out.filePath(QStringLiteral("t"))));
    EXPECT_FALSE(framisD(titles, kFixturePassword, out.filePath(QStringLiteral("u"))));
    EXPECT_EQ(keys->storedPassword(item()), fresh);

    // The change check does not take the re-encrypted file for someone else's change.
    window->reloads = 0;
    document->checkForUpdates();
    EXPECT_EQ(window->reloads, 0);

    // The next open takes the new password from the keychain, titles included.
    open({});
    ASSERT_TRUE(document->isOpen());
    EXPECT_TRUE(window->passwordPrompts.isEmpty());
    EXPECT_EQ(document->wpm()->recentWebsiteTitles().size(), 2);

    // An item that cannot be replaced turns the mark off; the item is then left alone.
    keys->setFailWrites(true);
    changeAnswers = {{fresh, QStringLiteral("third")}};
    password->changePassword();
    EXPECT_FALSE(document->passwordInKeychain());
    keys->setFailWrites(false);
    changeAnswers = {{QStringLiteral("third"), QStringLiteral("fourth")}};
    password->changePassword();
    EXPECT_EQ(keys->storedPassword(item()), fresh);
    EXPECT_TRUE(readEntriesFile(package + QStringLiteral("/Data.qlyi"), QStringLiteral("fourth")).has_value());
}

TEST_F(FilePasswordTest, AskingAgain)
{
    open();
    password->windowDidBecomeMain();
    EXPECT_EQ(gWebsiteDocument, document.get());
    window->passwordPrompts.clear();

    // Absent or 0: never.
    password->windowDidResignMain();
    EXPECT_FALSE(password->promptForPassword());
    EXPECT_EQ(gWebsiteDocument, document.get());
    password->windowDidBecomeMain();
    EXPECT_TRUE(window->passwordPrompts.isEmpty());

    // 1: due at once, and asked on return until right.
    Preferences::setInteger(PrefKey::PasswordPrompt, 1);
    password->windowDidResignMain();
    EXPECT_TRUE(password->promptForPassword());
    EXPECT_TRUE(gWebsiteDocument.isNull());
    window->passwords = {QStringLiteral("wrong"), kFixturePassword};
    password->windowDidBecomeMain();
    EXPECT_EQ(window->passwordPrompts, (QStringList{kEnter, kIncorrect}));
    EXPECT_EQ(gWebsiteDocument, document.get());

    // 3: due only after 120 "seconds" (shortened here), and not at all when the window
    // comes back before.
    Preferences::setInteger(PrefKey::PasswordPrompt, 3);
    password->setSecondLength(std::chrono::milliseconds(2));
    window->passwordPrompts.clear();
    password->windowDidResignMain();
    EXPECT_FALSE(password->promptForPassword());
    EXPECT_TRUE(password->passwordTimer()->isActive());
    EXPECT_EQ(password->passwordTimer()->interval(), 240);
    password->windowDidBecomeMain();
    EXPECT_FALSE(password->passwordTimer()->isActive());
    EXPECT_TRUE(window->passwordPrompts.isEmpty());

    password->windowDidResignMain();
    ASSERT_TRUE(waitFor([&] { return password->promptForPassword(); }));
    EXPECT_TRUE(gWebsiteDocument.isNull());

    // Coming back while another panel runs: the question waits for that panel's end.
    window->passwords = {kFixturePassword};
    int code = 0;
    QObject otherPanel;
    QTimer::singleShot(0, [&] {
        password->windowDidBecomeMain();
        EXPECT_TRUE(window->passwordPrompts.isEmpty());
        RunLoop::stopModal(&otherPanel, RunLoop::OKCode);
    });
    code = RunLoop::runModal(&otherPanel);
    EXPECT_EQ(code, RunLoop::OKCode);
    ASSERT_TRUE(waitFor([&] { return !window->passwordPrompts.isEmpty(); }));
    EXPECT_EQ(gWebsiteDocument, document.get());

    // An open callout is ended 30 "seconds" after the window was left.
    QObject callout;
    password->setCallout([&]() -> const QObject* { return &callout; });
    password->windowDidResignMain();
    EXPECT_TRUE(password->calloutTimer()->isActive());
    EXPECT_EQ(RunLoop::runModal(&callout), RunLoop::AbortCode);

    // Cancelling the question closes the document, which does not become current.
    window->passwords.clear();
    password->windowDidResignMain();
    gWebsiteDocument = nullptr;
    ASSERT_TRUE(waitFor([&] { return password->promptForPassword(); }));
    password->windowDidBecomeMain();
    EXPECT_EQ(document->state(), MyDocument::State::Closed);
    EXPECT_TRUE(gWebsiteDocument.isNull());
}

}  // namespace
