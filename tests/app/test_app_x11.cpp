// The real program on a real X server: create a password file through the panel, quit,
// start again and find the file reopened. Runs under scripts/with-test-services.
#include "app/ScratchHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString run(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// The first visible window whose name matches `pattern`, waited for up to 20 seconds.
QString waitForWindow(const QString& pattern)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        const QString found = run({"search", "--onlyvisible", "--name", pattern});
        if (!found.isEmpty())
            return found.split(QLatin1Char('\n')).first();
        QThread::msleep(100);
    }
    return {};
}

void typeInto(const QString& window, const QStringList& steps)
{
    run({"windowfocus", "--sync", window});
    QThread::msleep(200);
    for (const QString& step : steps) {
        if (step.startsWith("key:"))
            run({"key", "--clearmodifiers", step.mid(4)});
        else
            run({"type", "--delay", "30", step});
        QThread::msleep(100);
    }
}

QStringList leftoverTemporaryFolders(const ScratchHome& scratch)
{
    QStringList found;
    for (const QString& parent : {scratch.home(), scratch.runtime()})
        found << QDir(parent).entryList({".QLY.*"}, QDir::Dirs | QDir::Hidden);
    return found;
}

class QuorlyProcess {
public:
    explicit QuorlyProcess(const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly"), arguments);
        process_.waitForStarted();
    }
    ~QuorlyProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool finished(int msec = 20000) { return process_.waitForFinished(msec); }
    int exitCode() const { return process_.exitCode(); }

private:
    QProcess process_;
};

TEST(QuorlyOnX11, CreatedFileIsReopenedAtTheNextStart)
{
    if (qgetenv("QUORLY_TEST_DISPLAY") != "1" || qgetenv("DISPLAY").isEmpty())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services";
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs xdotool";
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

}  // namespace
