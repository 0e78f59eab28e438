// The real program on a real X server: create a password file through the panel, quit,
// start again and find the file reopened; drag entries from one running Quorly to
// another; set a hot key in the preferences. Runs under scripts/with-test-services.
#include "app/RealProgram.h"
#include "app/ScratchHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace quorly::test;

namespace {

QStringList leftoverTemporaryFolders(const ScratchHome& scratch)
{
    QStringList found;
    for (const QString& parent : {scratch.home(), scratch.runtime()})
        found << QDir(parent).entryList({".QLY.*"}, QDir::Dirs | QDir::Hidden);
    return found;
}

bool haveTestDisplay()
{
    return qgetenv("QUORLY_TEST_DISPLAY") == "1" && !qgetenv("DISPLAY").isEmpty() &&
           !QStandardPaths::findExecutable("xdotool").isEmpty();
}

// quorly-cli with the file password on standard input; its standard output.
QString cli(const QStringList& arguments, const QByteArray& password = "pw")
{
    QProcess tool;
    tool.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly-cli"), arguments);
    tool.write(password + '\n');
    tool.closeWriteChannel();
    tool.waitForFinished(20000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

TEST(QuorlyOnX11, CreatedFileIsReopenedAtTheNextStart)
{
    if (!haveTestDisplay())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services and xdotool";
    ScratchHome scratch;
    const QString package = scratch.home() + "/Vault.qly";

    {
        QuorlyProcess quorly({});
        const QString panel = waitForWindow("^Create Password File");
        ASSERT_FALSE(panel.isEmpty()) << "no creation panel";
        typeInto(panel, {"key:ctrl+a", "Vault", "key:Tab", "open sesame", "key:Tab", "open sesame", "key:Return"});
        const QString window = waitForWindow("^Vault");
        ASSERT_FALSE(window.isEmpty()) << "the new file's window did not open";
        EXPECT_TRUE(QFileInfo::exists(package + "/Data.qlyi"));
        typeInto(window, {"key:ctrl+q"});
        ASSERT_TRUE(quorly.finished());
        EXPECT_EQ(quorly.exitCode(), 0);
    }
    EXPECT_EQ(leftoverTemporaryFolders(scratch), QStringList());
    EXPECT_TRUE(QFileInfo::exists(package + "/Recent Websites.qlyi"));

    const QString shot = scratch.path() + "/main-window.png";
    {
        QuorlyProcess quorly({"--screenshot", shot});
        ASSERT_FALSE(waitForWindow("^Vault").isEmpty()) << "the last file was not reopened";
        const QString question = waitForWindow("^Quorly$");
        ASSERT_FALSE(question.isEmpty()) << "no password question";
        typeInto(question, {"open sesame", "key:Return"});
        ASSERT_TRUE(quorly.finished(30000));
        EXPECT_EQ(quorly.exitCode(), 0);
    }
    EXPECT_GT(QFileInfo(shot).size(), 0);
    EXPECT_EQ(leftoverTemporaryFolders(scratch), QStringList());
    // Kept for the project's documentation when asked for.
    if (const QByteArray keep = qgetenv("QUORLY_KEEP_SCREENSHOT"); !keep.isEmpty()) {
        QFile::remove(QString::fromLocal8Bit(keep));
        QFile::copy(shot, QString::fromLocal8Bit(keep));
    }
}

TEST(QuorlyOnX11, EntriesDragFromOneRunningQuorlyToAnother)
{
    if (!haveTestDisplay())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services and xdotool";
    ScratchHome scratch;
    const QString home = scratch.home() + "/Home.qly";
    const QString work = scratch.home() + "/Work.qly";
    cli({"create", "--password-stdin", home});
    for (const QString name : {"Bank", "Mail", "Zoo"})
        cli({"add", "--password-stdin", home, name, "--password", name + "-secret"});
    cli({"create", "--password-stdin", work});
    cli({"add", "--password-stdin", work, "Bank"});
    // No hot keys: the second program would find them held by the first and say so in
    // a window of its own, which has nothing to do with dragging.
    QDir().mkpath(scratch.config() + "/Quorly");
    QSettings(scratch.config() + "/Quorly/Quorly.conf", QSettings::IniFormat).setValue("hotkeyUserID", "");

    // Two programs, one file each, side by side.
    const QString otherRuntime = scratch.path() + "/runtime2";
    QDir().mkpath(otherRuntime);
    QFile::setPermissions(otherRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QList<std::shared_ptr<QuorlyProcess>> running;
    QStringList windows;
    for (const QString& file : {home, work}) {
        running << std::make_shared<QuorlyProcess>(QStringList{file}, running.isEmpty() ? QString() : otherRuntime);
        const QString question = waitForWindow("^Quorly$");
        ASSERT_FALSE(question.isEmpty()) << "no password question";
        typeInto(question, {"pw", "key:Return"});
        windows << waitForWindow("^" + QFileInfo(file).completeBaseName());
        ASSERT_FALSE(windows.last().isEmpty());
    }
    xdotool({"windowmove", "--sync", windows[0], "0", "0"});
    xdotool({"windowmove", "--sync", windows[1], "600", "0"});
    QThread::msleep(300);

    // The first row of Home's list ("Bank") is pressed and dragged over Work's list.
    xdotool({"mousemove", "--sync", "60", "66"});
    xdotool({"mousedown", "1"});
    for (int x : {70, 90, 120, 200, 300, 400, 500, 600, 700, 800, 830}) {
        xdotool({"mousemove", "--sync", QString::number(x), "200"});
        QThread::msleep(60);
    }
    QThread::msleep(300);
    xdotool({"mouseup", "1"});

    QElapsedTimer clock;
    clock.start();
    while (!cli({"list", "--password-stdin", work}).contains("Bank2") && clock.elapsed() < 20000)
        QThread::msleep(200);
    EXPECT_EQ(cli({"list", "--password-stdin", work}), "Bank\nBank2\n");
    EXPECT_TRUE(cli({"dump", "--password-stdin", work}).contains("Bank-secret"));
    EXPECT_EQ(cli({"list", "--password-stdin", home}), "Bank\nMail\nZoo\n");

    // Dropped back onto its own list, the row is refused.
    xdotool({"mousemove", "--sync", "60", "66"});
    xdotool({"mousedown", "1"});
    for (int y : {80, 120, 200, 300})
        xdotool({"mousemove", "--sync", "200", QString::number(y)});
    xdotool({"mouseup", "1"});
    QThread::msleep(500);
    EXPECT_EQ(cli({"list", "--password-stdin", home}), "Bank\nMail\nZoo\n");

    for (const QString& window : windows)
        typeInto(window, {"key:ctrl+q"});
    for (const auto& quorly : running)
        EXPECT_TRUE(quorly->finished());
    EXPECT_EQ(leftoverTemporaryFolders(scratch), QStringList());
    EXPECT_EQ(QDir(otherRuntime).entryList({".QLY.*"}, QDir::Dirs | QDir::Hidden), QStringList());
}

TEST(QuorlyOnX11, AHotKeyFieldTakesTheKeysOwnCharacter)
{
    if (!haveTestDisplay())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services and xdotool";
    ScratchHome scratch;
    const QString home = scratch.home() + "/Home.qly";
    cli({"create", "--password-stdin", home});
    QuorlyProcess quorly({home});
    const QString question = waitForWindow("^Quorly$");
    ASSERT_FALSE(question.isEmpty()) << "no password question";
    typeInto(question, {"pw", "key:Return"});
    const QString window = waitForWindow("^Home");
    ASSERT_FALSE(window.isEmpty());

    // Shift+1 in the user-ID field (where the panel opens) is the key "1": the layout,
    // not the shifted "!", names the hot key. Return is OK.
    typeInto(window, {"key:ctrl+comma"});
    const QString panel = waitForWindow("^Quorly Preferences$");
    ASSERT_FALSE(panel.isEmpty()) << "no preferences panel";
    typeInto(panel, {"key:shift+1", "key:Return"});
    const QString store = scratch.config() + "/Quorly/Quorly.conf";
    QElapsedTimer clock;
    clock.start();
    while (QSettings(store, QSettings::IniFormat).value("hotkeyUserID").toString() != "1" && clock.elapsed() < 10000)
        QThread::msleep(100);
    EXPECT_EQ(QSettings(store, QSettings::IniFormat).value("hotkeyUserID").toString(), "1");
    EXPECT_EQ(QSettings(store, QSettings::IniFormat).value("hotkeyUserIDModifierFlags").toInt(), 4352);

    typeInto(window, {"key:ctrl+q"});
    EXPECT_TRUE(quorly.finished());
}

TEST(QuorlyOnX11, ASecondStartHandsItsFileToTheRunningProgramWhichKeepsSaving)
{
    if (!haveTestDisplay())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services and xdotool";
    ScratchHome scratch;
    const QString first = scratch.home() + "/First.qly", second = scratch.home() + "/Second.qly";
    cli({"create", "--password-stdin", first}, "one");
    cli({"create", "--password-stdin", second}, "two");
    cli({"add", "--password-stdin", first, "Kept"}, "one");

    QuorlyProcess running({first});
    const QString question = waitForWindow("^Quorly$");
    ASSERT_FALSE(question.isEmpty()) << "no password question";
    typeInto(question, {"one", "key:Return"});
    const QString firstWindow = waitForWindow("^First");
    ASSERT_FALSE(firstWindow.isEmpty());
    const QStringList ownFolders = leftoverTemporaryFolders(scratch);
    ASSERT_EQ(ownFolders.size(), 1);

    // The second start ends at once; its file opens in the running program.
    QuorlyProcess handing({second});
    ASSERT_TRUE(handing.finished(10000));
    EXPECT_EQ(handing.exitCode(), 0);
    const QString secondQuestion = waitForWindow("^Quorly$");
    ASSERT_FALSE(secondQuestion.isEmpty()) << "the running program did not open the handed-over file";
    typeInto(secondQuestion, {"two", "key:Return"});
    ASSERT_FALSE(waitForWindow("^Second").isEmpty());
    // The first file's private folder is alive and well, and its window still saves.
    EXPECT_TRUE(leftoverTemporaryFolders(scratch).contains(ownFolders.first()));
    typeInto(firstWindow, {"K", "key:ctrl+d"});  // typing a name selects its row
    QElapsedTimer clock;
    clock.start();
    while (!cli({"list", "--password-stdin", first}, "one").contains("Kept copy") && clock.elapsed() < 10000)
        QThread::msleep(100);
    EXPECT_TRUE(cli({"list", "--password-stdin", first}, "one").contains("Kept copy"));

    // A start without files only brings the running program to the front.
    QuorlyProcess again({});
    ASSERT_TRUE(again.finished(10000));
    EXPECT_EQ(again.exitCode(), 0);
    typeInto(firstWindow, {"key:ctrl+q"});
    ASSERT_TRUE(running.finished());
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_EQ(leftoverTemporaryFolders(scratch), QStringList());
}

}  // namespace
