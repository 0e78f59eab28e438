// The program's crash handler, in a process that really crashes: one report per crash,
// in the user's own folder, with the signal, the version and the backtrace and nothing
// from the program's memory.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Crash {
    const char* how;
    const char* signal;
};

TEST(CrashHandler, EachCrashLeavesOnePrivateReportWithoutMemoryContents)
{
    const Crash crashes[] = {{"segv", "Signal: 11 SIGSEGV (segmentation fault)"},
                             {"abort", "Signal: 6 SIGABRT (abort)"},
                             {"stack", "Signal: 11 SIGSEGV (segmentation fault)"}};
    for (const Crash& crash : crashes) {
        QTemporaryDir scratch;
        const QString folder = scratch.path() + "/state/Quorly/CrashReports";
        QProcess process;
        process.start(QStringLiteral(QUORLY_CRASH_REPORT), {folder, crash.how});
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit) << crash.how;

        const QStringList reports = QDir(folder).entryList(QDir::Files);
        ASSERT_EQ(reports.size(), 1) << crash.how;
        EXPECT_TRUE(QRegularExpression("^Quorly_\\d{4}-\\d\\d-\\d\\d-\\d{6}_\\d+\\.crash$")
                        .match(reports.first())
                        .hasMatch())
            << reports.first().toStdString();
        QFile file(folder + "/" + reports.first());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray report = file.readAll();
        EXPECT_TRUE(report.startsWith("Quorly crash report\nVersion: 9.9-test\nDate: ")) << report.constData();
        EXPECT_TRUE(report.contains(QByteArray(crash.signal) + "\n")) << report.constData();
        EXPECT_TRUE(report.contains("Backtrace of the crashed thread:\n"));
        EXPECT_TRUE(report.contains("crash_report")) << report.constData();  // frames of the program
        EXPECT_FALSE(report.contains("hunter2"));

        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(file.fileName()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

}  // namespace
