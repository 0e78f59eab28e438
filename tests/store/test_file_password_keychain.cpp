// The file password kept in the real keychain (the GNOME keyring of
// scripts/with-test-services): ticked once, the next open asks nothing.
#include "app/Preferences.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/Keychain.h"
#include "platform/desktop/SecretServiceKeychain.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include "app/GuiDriver.h"

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
    document->setKeychainLookup([](const QString& account) { return keychain().findGenericPassword(account); });
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

TEST(FilePasswordKeychain, TickedOnceTheNextOpenAsksNothing)
{
    if (!qEnvironmentVariableIsSet("QUORLY_TEST_KEYRING"))
        GTEST_SKIP() << "needs the keyring of scripts/with-test-services";
    QTemporaryDir scratch;
    qputenv("HOME", QFile::encodeName(scratch.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path() + "/.config"));
    setKeychain(std::make_shared<SecretServiceKeychain>());
    ASSERT_TRUE(keychain().isAvailable());
    const QString account = QStringLiteral("Quorly keychain open test");
    keychain().deleteItem(account);

    const QString package = scratch.path() + "/" + account + ".qly";
    ASSERT_TRUE(createPasswordFile(package, QStringLiteral("p\u00e4ss")));
    gFramis = QStringLiteral("p\u00e4ss");
    OpenWindow first = openWindow(package);
    ASSERT_TRUE(waitFor([&] { return first.document->isOpen(); }));
    EXPECT_FALSE(first.document->passwordInKeychain());

    PasswordPanel* panel = first.window->passwordPanel();
    whenShown(panel, [panel] {
        panel->field()->setText(QStringLiteral("p\u00e4ss"));
        panel->defaultButton()->click();
    });
    ASSERT_TRUE(first.window->runCommand(QStringLiteral("toggleSavePWInKeychain:")));
    EXPECT_TRUE(first.document->passwordInKeychain());
    closeWindow(first);

    // Opened again, as at the next start: no gFramis, no answer to any panel.
    OpenWindow second = openWindow(package);
    EXPECT_TRUE(waitFor([&] { return second.document->isOpen(); }));
    EXPECT_TRUE(second.document->passwordInKeychain());
    EXPECT_FALSE(second.window->passwordPanel()->isVisible());
    if (!second.document->isOpen())
        second.window->passwordPanel()->otherButton()->click();
    closeWindow(second);

    EXPECT_TRUE(keychain().deleteItem(account));
    setKeychain(nullptr);
}

}  // namespace
