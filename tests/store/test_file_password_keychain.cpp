// The file password kept in the real keychain (the GNOME keyring of
// scripts/with-test-services): ticked once, the next open asks nothing, and a file of
// the same name elsewhere keeps its own.
#include "app/Preferences.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/Keychain.h"
#include "platform/desktop/SecretServiceKeychain.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include "app/GuiDriver.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

struct OpenWindow {
    MyDocument* document;
    DocumentWindowWidget* window;
};

OpenWindow openWindow(const QString& package)
{
    auto* document = new MyDocument(package);
    document->setRecordsLastFile(false);
    document->setKeychainLookup(
        [](const QString& path) { return keychain().findGenericPassword(keychainItemForPackage(path)); });
    auto* window = new DocumentWindowWidget(document);
    document->setWindow(window);
    window->show();
    document->windowControllerDidLoadNib();
    return {document, window};
}

void closeWindow(OpenWindow& w)
{
    w.window->close();
    delete w.window;
    delete w.document;
}

// Answers the window's password panel with `text` the next time it shows.
void answerPanel(const OpenWindow& w, const QString& text)
{
    PasswordPanel* panel = w.window->passwordPanel();
    whenShown(panel, [panel, text] {
        panel->field()->setText(text);
        panel->defaultButton()->click();
    });
}

bool toggleKeychain(const OpenWindow& w, const QString& answer)
{
    answerPanel(w, answer);
    return w.window->runCommand(QStringLiteral("toggleSavePWInKeychain:"));
}

// ~/Personal.qly and ~/other/Personal.qly: ticked for the first, the second knows
// nothing of it, and each keeps and drops its own item; the next open of the first
// still asks nothing.
TEST(FilePasswordKeychain, EachOfTwoSameNamedFilesKeepsItsOwnItem)
{
    if (!qEnvironmentVariableIsSet("QUORLY_TEST_KEYRING"))
        GTEST_SKIP() << "needs the keyring of scripts/with-test-services";
    QTemporaryDir scratch;
    qputenv("HOME", QFile::encodeName(scratch.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path() + "/.config"));
    setKeychain(std::make_shared<SecretServiceKeychain>());
    ASSERT_TRUE(keychain().isAvailable());

    const QString first = scratch.path() + "/Personal.qly";
    const QString second = scratch.path() + "/other/Personal.qly";
    ASSERT_TRUE(QDir().mkpath(scratch.path() + "/other"));
    ASSERT_TRUE(createPasswordFile(first, QStringLiteral("p\u00e4ss")));
    ASSERT_TRUE(createPasswordFile(second, QStringLiteral("other")));

    gFramis = QStringLiteral("p\u00e4ss");
    OpenWindow a = openWindow(first);
    ASSERT_TRUE(waitFor([&] { return a.document->isOpen(); }));
    ASSERT_TRUE(toggleKeychain(a, QStringLiteral("p\u00e4ss")));
    EXPECT_TRUE(a.document->passwordInKeychain());
    closeWindow(a);

    OpenWindow b = openWindow(second);
    answerPanel(b, QStringLiteral("other"));
    ASSERT_TRUE(waitFor([&] { return b.document->isOpen(); }));
    EXPECT_FALSE(b.document->passwordInKeychain());
    ASSERT_TRUE(toggleKeychain(b, QStringLiteral("other")));
    EXPECT_TRUE(b.document->passwordInKeychain());
    ASSERT_TRUE(b.window->runCommand(QStringLiteral("toggleSavePWInKeychain:")));
    EXPECT_FALSE(b.document->passwordInKeychain());
    closeWindow(b);

    OpenWindow again = openWindow(first);
    bool asked = false;
    whenReady([&] { return again.window->passwordPanel()->isVisible(); },
              [&] {
                  asked = true;
                  again.window->passwordPanel()->otherButton()->click();
              },
              again.window);
    EXPECT_TRUE(waitFor([&] { return again.document->isOpen(); }));
    EXPECT_TRUE(again.document->passwordInKeychain());
    EXPECT_FALSE(asked);
    closeWindow(again);

    EXPECT_TRUE(keychain().deleteItem(keychainItemForPackage(first)));
    setKeychain(nullptr);
}

}  // namespace
