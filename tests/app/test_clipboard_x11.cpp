// A person copies a password in the real program on the test X server: another program
// finds it on the clipboard, marked for clipboard managers, and then finds it gone after
// the preferred delay, and gone when the program quits.
#include "app/RealProgram.h"
#include "app/ScratchHome.h"
#include "cli/CliRunner.h"
#include "support/PrintQString.h"
#include "support/X11Clipboard.h"

#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace quorly::test;

namespace {

TEST(CopyPasswordOnX11, LeavesTheClipboardAfterTheDelayAndWhenTheProgramQuits)
{
    if (qgetenv("QUORLY_TEST_DISPLAY") != "1" || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs the X server of scripts/with-test-services";
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs xdotool";
    ScratchHome scratch;
    const QString package = scratch.home() + "/Copies.qly";
    const QString password = QStringLiteral("p\u00e4ss-\u20ac-word");
    ASSERT_EQ(runCli({"create", "--password-stdin", package}, "file pw\n").exitCode, 0);
    ASSERT_EQ(runCli({"add", "--password-stdin", package, "Bank", "--password", password}, "file pw\n").exitCode, 0);
    QSettings(scratch.config() + "/Quorly/Quorly.conf", QSettings::IniFormat).setValue("clipboardClearSeconds", 2);

    QuorlyProcess quorly({package});
    const QString question = waitForWindow("^Quorly$");
    ASSERT_FALSE(question.isEmpty()) << "no file password question";
    typeInto(question, {"file pw", "key:Return"});
    const QString window = waitForWindow("^Copies$");
    ASSERT_FALSE(window.isEmpty()) << "the password file's window did not open";
    // Found by name, then the list takes the focus and Ctrl+C copies.
    typeInto(window, {"key:ctrl+f", "Bank", "key:Return", "key:Tab", "key:ctrl+c"});
    ASSERT_TRUE(spinUntil([&] { return clipboardContents().text == password; }))
        << "the password never reached the clipboard";
    EXPECT_EQ(clipboardContents().hint, QByteArray(quorly::kPasswordManagerHintSecret));
    EXPECT_TRUE(spinUntil([] { return clipboardContents().text.isEmpty(); }, 20000))
        << "the password stayed on the clipboard";

    typeInto(window, {"key:ctrl+c"});
    ASSERT_TRUE(spinUntil([&] { return clipboardContents().text == password; }));
    quorly.terminate();
    ASSERT_TRUE(quorly.finished());
    EXPECT_TRUE(clipboardContents().text.isEmpty());
}

}  // namespace
