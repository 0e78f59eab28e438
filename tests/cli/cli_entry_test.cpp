// `quorly-cli show` and `quorly-cli clip`, run as a user would: show anywhere, clip on
// the test X server, whose clipboard this test reads as another program would.
#include "app/ScratchHome.h"
#include "cli/CliRunner.h"
#include "login/KeyRecorder.h"
#include "support/PrintQString.h"
#include "support/X11Clipboard.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace quorly::test;

namespace {

// What other processes of the user may read of a running one besides its memory: its
// command line, its environment and the memory-only files it holds open (the last two only
// while it lets them look, which a process holding secrets does not).
QByteArray readableFromOutside(qint64 pid)
{
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    QByteArray all = readFile(proc + "/cmdline") + readFile(proc + "/environ");
    const QDir fds(proc + "/fd");
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget().contains("/memfd:"))
            all += readFile(fd.filePath());
    return all;
}

const QString kPassword = QStringLiteral("p\u00e4ss-\u20ac-word");

class CliEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        package_ = scratch_.home() + "/Show.qly";
        ASSERT_EQ(runCli({"create", "--password-stdin", package_}, "pw\n").exitCode, 0);
        ASSERT_EQ(runCli({"add", "--password-stdin", package_, "Bank", "--url", "https://bank.example", "--user",
                          "ann", "--password", kPassword, "--notes", "two\nlines"},
                         "pw\n")
                      .exitCode,
                  0);
    }

    bool onTestDisplay() const
    {
        return qgetenv("QUORLY_TEST_DISPLAY") == "1" && QGuiApplication::platformName() == QLatin1String("xcb");
    }

    // `clip` run by `cli` with DISPLAY set to `display` (unset when empty).
    CliRun clipOn(const QByteArray& display, const QStringList& args, const QByteArray& input = "pw\n",
                  const QString& cli = cliPath())
    {
        const QByteArray saved = qgetenv("DISPLAY");
        display.isEmpty() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
        QProcess process;
        process.start(cli, QStringList{"clip", "--password-stdin", package_} + args);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        qputenv("DISPLAY", saved);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    ScratchHome scratch_;
    QString package_;
};

// `clip` running: its output so far, read as it comes.
class ClipProcess {
public:
    explicit ClipProcess(const QStringList& arguments)
    {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { out_ += process_.readAllStandardOutput(); });
        process_.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly-cli"), QStringList{"clip", "--password-stdin"} + arguments);
        process_.write("pw\n");
        process_.closeWriteChannel();
    }
    ~ClipProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool says(const QString& text, int msec = 20000)
    {
        return spinUntil([&] { return QString::fromUtf8(out_).contains(text); }, msec);
    }
    bool ended(int msec = 20000)
    {
        return spinUntil([&] { return process_.state() == QProcess::NotRunning; }, msec) &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    void terminate() { process_.terminate(); }
    qint64 pid() const { return process_.processId(); }
    QString output() const { return QString::fromUtf8(out_); }

private:
    QProcess process_;
    QByteArray out_;
};

TEST_F(CliEntry, ShowPrintsTheFieldsWithoutADisplayAndChangesNothing)
{
    const QByteArray before = fingerprint(package_);
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    const CliRun shown = runCli({"show", "--password-stdin", package_, "Bank"}, "pw\n");
    const CliRun revealed = runCli({"show", "--password-stdin", "--show-password", package_, "Bank"}, "pw\n");
    qputenv("DISPLAY", display);

    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(shown.out), "Name: Bank\nURL: https://bank.example\nUser ID: ann\n"
                                            "Password: ********\nNotes: two\n  lines\n");
    EXPECT_TRUE(QString::fromUtf8(revealed.out).contains("\nPassword: " + kPassword + "\n"));
    EXPECT_EQ(runCli({"show", "--password-stdin", package_, "Nobody"}, "pw\n").exitCode, 1);
    EXPECT_EQ(runCli({"show", "--password-stdin", package_, "Bank"}, "wrong\n").exitCode, 4);
    EXPECT_EQ(runCli({"show", "--password-stdin", scratch_.home() + "/none.qly", "Bank"}, "pw\n").exitCode, 3);
    EXPECT_EQ(runCli({"show", "--password-stdin", package_}, "pw\n").exitCode, 2);
    EXPECT_EQ(fingerprint(package_), before);
}

TEST_F(CliEntry, ClipRefusesBadOptionsAndEmptyFieldsAndNamesAMissingDisplayOrHelper)
{
    EXPECT_EQ(runCli({"clip", "--password-stdin", package_, "Bank", "--field", "pin"}, "pw\n").exitCode, 2);
    EXPECT_EQ(runCli({"clip", "--password-stdin", package_, "Bank", "--seconds", "soon"}, "pw\n").exitCode, 2);
    const CliRun headless = clipOn({}, {"Bank"});
    EXPECT_EQ(headless.exitCode, 1);
    EXPECT_TRUE(headless.err.contains("needs a display")) << headless.err.toStdString();
    const CliRun unreachable = clipOn(":65000", {"Bank"});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_TRUE(unreachable.err.contains("cannot reach the display :65000.")) << unreachable.err.toStdString();

    // A quorly-cli without the program beside it that holds the clipboard says so before
    // it asks for a password that could not help.
    const QString alone = scratch_.home() + "/alone/quorly-cli";
    ASSERT_TRUE(QDir().mkpath(scratch_.home() + "/alone") && QFile::copy(cliPath(), alone));
    const CliRun helperless = clipOn(":65000", {"Bank"}, "wrong\n", alone);
    EXPECT_EQ(helperless.exitCode, 1);
    EXPECT_TRUE(helperless.err.contains("/alone/quorly-cli-clip, installed beside quorly-cli for it, is missing."))
        << helperless.err.toStdString();

    if (!onTestDisplay())
        return;
    const CliRun empty = runCli({"clip", "--password-stdin", package_, "Bank", "--field", "user2"}, "pw\n");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.err.contains("has no second user ID")) << empty.err.toStdString();
}

TEST_F(CliEntry, ClipHoldsTheFieldThenClearsItOnlyWhileItIsStillThere)
{
    if (!onTestDisplay())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services";
    const QByteArray before = fingerprint(package_);

    {  // The password, marked, until the wait is over.
        ClipProcess clip({package_, "Bank", "--seconds", "1"});
        ASSERT_TRUE(clip.says("Copied the password of 'Bank' to the clipboard; it will be cleared in 1 second."))
            << clip.output().toStdString();
        const ClipboardContents copied = clipboardContents();
        EXPECT_EQ(copied.text, kPassword);
        EXPECT_EQ(copied.hint, QByteArray(quorly::kPasswordManagerHintSecret));
        EXPECT_FALSE(readableFromOutside(clip.pid()).contains(kPassword.toUtf8()));
        ASSERT_TRUE(clip.ended()) << clip.output().toStdString();
        EXPECT_TRUE(clip.output().contains("Cleared the clipboard."));
        EXPECT_TRUE(clipboardContents().text.isEmpty());
    }
    {  // The user copies something else meanwhile: that stays, and clip ends at once.
        ClipProcess clip({package_, "Bank", "--field", "user", "--seconds", "0"});
        ASSERT_TRUE(clip.says("it stays until something else is copied")) << clip.output().toStdString();
        ASSERT_TRUE(spinUntil([] { return clipboardContents().text == "ann"; }));
        QGuiApplication::clipboard()->setText("the user's own");
        ASSERT_TRUE(clip.ended()) << clip.output().toStdString();
        EXPECT_TRUE(clip.output().contains("holds something newer"));
        EXPECT_EQ(clipboardContents().text, "the user's own");
    }
    {  // Interrupted: the field goes with it.
        ClipProcess clip({package_, "Bank", "--field", "url", "--seconds", "0"});
        ASSERT_TRUE(spinUntil([] { return clipboardContents().text == "https://bank.example"; }))
            << clip.output().toStdString();
        clip.terminate();
        ASSERT_TRUE(clip.ended()) << clip.output().toStdString();
        EXPECT_TRUE(clip.output().contains("Cleared the clipboard."));
        EXPECT_TRUE(clipboardContents().text.isEmpty());
    }
    EXPECT_EQ(fingerprint(package_), before);
}

}  // namespace
