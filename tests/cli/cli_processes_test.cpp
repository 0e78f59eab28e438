// Several quorly-cli processes on one password file, as users run them: side by side,
// racing a password change, killed at any moment, crashing, short of room. Each test
// prints what it measured, so a run against an older build (QUORLY_TEST_CLI) shows
// what was lost before.
#include "cli/CliRunner.h"

#include "store/FolderLock.h"
#include "store/PackageLock.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iostream>
#include <thread>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kOld = "correct horse";

class CliProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        useScratchHome(dir_, true);
        package_ = copyPackage("current.qly", dir_);  // Bank, Café Zürich ☕, mail; titles mail, Bank
    }

    QString runtime() const { return dir_.filePath("run"); }

    QStringList listed(const QByteArray& password, int* status = nullptr) const
    {
        const CliRun run = runCli({"list", "--password-stdin", package_}, password + '\n');
        if (status)
            *status = run.exitCode;
        return QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    }
    QStringList privateFolders() const
    {
        return QDir(runtime()).entryList({".QLY.*"}, QDir::Dirs | QDir::Hidden) +
               QDir(dir_.filePath("home")).entryList({".QLY.*"}, QDir::Dirs | QDir::Hidden);
    }
    QStringList hiddenInPackage() const
    {
        return QDir(package_).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).filter(QRegularExpression("^\\."));
    }
    static void report(const std::string& figure)
    {
        std::cout << "[ figure   ] " << figure << std::endl;
        ::testing::Test::RecordProperty("figure", figure);
    }

    QTemporaryDir dir_;
    QString package_;
};

// Starts quorly-cli without waiting for it.
std::unique_ptr<QProcess> startCli(const QStringList& args, const QByteArray& input)
{
    auto process = std::make_unique<QProcess>();
    process->start(cliPath(), args);
    process->waitForStarted();
    process->write(input);
    process->waitForBytesWritten(5000);  // nothing else runs QProcess's event loop here
    process->closeWriteChannel();
    return process;
}

}  // namespace

TEST_F(CliProcesses, ParallelAddLoopsLoseNoEntry)
{
    constexpr int kAddsPerLoop = 12;
    for (int loops : {2, 4}) {
        SCOPED_TRACE(loops);
        QTemporaryDir each;
        package_ = copyPackage("current.qly", each);
        std::vector<std::thread> threads;
        std::atomic<int> failed{0};
        for (int loop = 0; loop < loops; ++loop) {
            threads.emplace_back([&, loop] {
                for (int i = 0; i < kAddsPerLoop; ++i) {
                    const CliRun run = runCli({"add", "--password-stdin", package_, QStringLiteral("L%1-%2").arg(loop).arg(i)},
                                              kOld + '\n');
                    if (run.exitCode != 0)
                        ++failed;
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        const int added = int(listed(kOld).size()) - 3;
        report(std::to_string(loops) + " parallel add loops: " + std::to_string(loops * kAddsPerLoop - added) +
               " of " + std::to_string(loops * kAddsPerLoop) + " entries lost, " + std::to_string(failed) +
               " adds failed");
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(added, loops * kAddsPerLoop);
    }
}

TEST_F(CliProcesses, AddsRacingAPasswordChangeEndAsTheirStatusesSay)
{
    int inconsistent = 0;
    constexpr int kTrials = 4;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE(trial);
        QTemporaryDir each;
        package_ = copyPackage("current.qly", each);
        QList<QPair<QString, int>> adds;
        std::thread adder([&] {
            for (int i = 0; i < 8; ++i) {
                const QString name = QStringLiteral("Racer%1").arg(i);
                adds.append({name, runCli({"add", "--password-stdin", package_, name}, kOld + '\n').exitCode});
            }
        });
        QThread::msleep(QRandomGenerator::global()->bounded(40, 200));
        const CliRun passwd = runCli({"passwd", "--password-stdin", package_}, kOld + "\nnew pw\nnew pw\n");
        adder.join();

        // With writers taking turns the change always goes through; whatever happens,
        // the file must be as the statuses say.
        const bool changed = passwd.exitCode == 0;
        EXPECT_TRUE(changed) << passwd.err.constData();
        EXPECT_EQ(passwd.err.contains("Password changed."), changed);
        const QByteArray current = changed ? "new pw" : kOld;
        int status = -1;
        const QStringList names = listed(current, &status);
        // The recent-websites list goes along, under the same password.
        const CliRun dumped = runCli({"dump", "--password-stdin", package_}, current + '\n');
        const bool titlesKept = dumped.out.contains("\"recentWebsites\": [\n        \"mail\",\n        \"Bank\"");
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(titlesKept) << dumped.out.constData();
        inconsistent += (status == 0 ? 0 : 1) + (titlesKept ? 0 : 1);
        // Every add that said it added is there; every other one was refused for its
        // (now old) password and is not. (Refused as a wrong password, or, for the rare
        // wrong password that passes the padding check, as unreadable.)
        for (const auto& [name, exitCode] : adds) {
            const bool refused = changed && (exitCode == 4 || exitCode == 5);
            const bool consistent = exitCode == 0 ? names.contains(name) : (refused && !names.contains(name));
            inconsistent += consistent ? 0 : 1;
            EXPECT_TRUE(consistent) << name.toStdString() << " exit " << exitCode;
        }
        if (changed) {
            const CliRun oldOne = runCli({"list", "--password-stdin", package_}, kOld + '\n');
            EXPECT_TRUE(oldOne.exitCode == 4 || oldOne.exitCode == 5) << oldOne.err.constData();
        }
    }
    report("add racing passwd: " + std::to_string(inconsistent) + " disagreements between statuses and file in " +
           std::to_string(kTrials) + " trials of 8 adds");
}

TEST_F(CliProcesses, TwoPasswordChangesAtOnceNeverMixPasswords)
{
    constexpr int kTrials = 4;
    int broken = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE(trial);
        QTemporaryDir each;
        package_ = copyPackage("current.qly", each);
        auto a = startCli({"passwd", "--password-stdin", package_}, kOld + "\nfirst\nfirst\n");
        auto b = startCli({"passwd", "--password-stdin", package_}, kOld + "\nsecond\nsecond\n");
        a->waitForFinished(60000);
        b->waitForFinished(60000);
        // Exactly one change succeeds, the other is refused: its current password is no
        // longer the file's. Both files then open with the one that won, and only it.
        EXPECT_NE(a->exitCode() == 0, b->exitCode() == 0) << a->exitCode() << " " << b->exitCode();
        const QByteArray winner = a->exitCode() == 0 ? "first" : "second";
        const QByteArray loser = a->exitCode() == 0 ? "second" : "first";
        const CliRun dumped = runCli({"dump", "--password-stdin", package_}, winner + '\n');
        const bool consistent = (a->exitCode() == 0) != (b->exitCode() == 0) && dumped.exitCode == 0 &&
                                dumped.out.contains("\"mail\",\n        \"Bank\"") &&
                                runCli({"dump", "--password-stdin", package_}, loser + '\n').exitCode == 4;
        EXPECT_TRUE(consistent) << dumped.err.constData();
        EXPECT_EQ(hiddenInPackage(), QStringList());
        broken += consistent ? 0 : 1;
    }
    report("two passwd at once: " + std::to_string(broken) + " of " + std::to_string(kTrials) +
           " files left under mixed or unreported passwords");
}

TEST_F(CliProcesses, WhatKilledRunsLeaveTheNextCommandRemovesButNeverALiveOnes)
{
    // A file big enough that a save takes a while, so kills land inside it. (Values as
    // arguments, which any version takes, up to the kernel's 128 KB for one argument.)
    for (const char* name : {"Bank", "mail", "Caf\u00e9 Z\u00fcrich \u2615"})
        ASSERT_EQ(runCli({"set", "--password-stdin", package_, name, "Notes", QString(120000, 'n')}, kOld + '\n').exitCode, 0);
    constexpr int kKills = 16;
    int foldersLeft = 0, temporariesLeft = 0, unreadable = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        auto victim = startCli({"add", "--password-stdin", package_, QStringLiteral("K%1").arg(kill)}, kOld + '\n');
        QThread::msleep(QRandomGenerator::global()->bounded(10, 120));
        victim->kill();
        victim->waitForFinished();
        foldersLeft += int(privateFolders().size());
        temporariesLeft += int(hiddenInPackage().size());
        // The killed add stored its entry entirely or not at all; the file always opens.
        int status = -1;
        listed(kOld, &status);
        unreadable += status == 0 ? 0 : 1;
        EXPECT_EQ(privateFolders(), QStringList());  // gone with the list command
        runCli({"add", "--password-stdin", package_, QStringLiteral("After%1").arg(kill)}, kOld + '\n');
        EXPECT_EQ(hiddenInPackage(), QStringList());  // gone with the next writer
    }
    const auto remaining = privateFolders().size() + hiddenInPackage().size();
    report(std::to_string(kKills) + " kills: " + std::to_string(foldersLeft) + " private folders and " +
           std::to_string(temporariesLeft) + " package temporaries left behind, " + std::to_string(remaining) +
           " of them still there at the end, " + std::to_string(unreadable) + " unreadable files");
    EXPECT_EQ(unreadable, 0);

    // A live process's private folder and the temporaries of a writer at work stay.
    const QString live = runtime() + "/.QLY.live0001";
    QDir().mkpath(live);
    const int liveLock = quorly::lockFolderIfFree(live);
    ASSERT_GE(liveLock, 0);
    std::optional<quorly::PackageLock> writing = quorly::PackageLock::acquire(package_);
    ASSERT_TRUE(writing);
    QFile working(package_ + "/.Data.qlyi.LiVe01");
    ASSERT_TRUE(working.open(QIODevice::WriteOnly));
    auto waiting = startCli({"add", "--password-stdin", package_, "Waits"}, kOld + '\n');
    EXPECT_FALSE(waiting->waitForFinished(500));  // it waits for the writer
    EXPECT_TRUE(QFileInfo::exists(live));
    EXPECT_TRUE(working.exists());
    working.remove();
    writing.reset();
    ASSERT_TRUE(waiting->waitForFinished(30000));
    EXPECT_EQ(waiting->exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(live));
    ::close(liveLock);
}

TEST_F(CliProcesses, KilledCreationsLeaveNoHalfPackageAndTheRestIsTheOwnersAlone)
{
    const QString created = dir_.filePath("New.qly");
    for (int kill = 0; kill < 8; ++kill) {
        QDir(created).removeRecursively();
        auto victim = startCli({"create", "--password-stdin", created}, "pw\n");
        QThread::msleep(QRandomGenerator::global()->bounded(0, 60));
        victim->kill();
        victim->waitForFinished();
        // Either no package, or one that opens.
        if (QFileInfo::exists(created)) {
            const CliRun run = runCli({"list", "--password-stdin", created}, "pw\n");
            EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        }
    }
    QDir(created).removeRecursively();
    ASSERT_EQ(runCli({"create", "--password-stdin", created}, "pw\n").exitCode, 0);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(created).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    // What the killed creations were building beside it is gone.
    EXPECT_EQ(QDir(dir_.path()).entryList({".New.qly.*"}, QDir::Dirs | QDir::Hidden), QStringList());
}

TEST_F(CliProcesses, ACrashLeavesNoCoreFile)
{
    QFile pattern("/proc/sys/kernel/core_pattern");
    ASSERT_TRUE(pattern.open(QIODevice::ReadOnly));
    const QByteArray where = pattern.readAll().trimmed();
    if (where.startsWith('|') || where.contains('/'))
        GTEST_SKIP() << "core files are handed to '" << where.constData() << "' here, not written beside the process";
    rlimit limit {};
    ::getrlimit(RLIMIT_CORE, &limit);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < (1u << 30))
        GTEST_SKIP() << "core files may not be that large here (ulimit -Hc " << limit.rlim_max << ")";

    const auto crash = [&](const QString& program, const QStringList& args, const QByteArray& input) {
        QTemporaryDir cwd;
        QProcess process;
        process.setWorkingDirectory(cwd.path());
        process.setChildProcessModifier([] {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_CORE, &unlimited);  // ulimit -c unlimited
        });
        process.start(program, args);
        process.waitForStarted();
        process.write(input);
        process.waitForBytesWritten();
        // The password has been taken and the file read when the process waits for the
        // next line; it is then asleep in read().
        QThread::msleep(700);
        ::kill(pid_t(process.processId()), SIGSEGV);
        process.waitForFinished();
        return QDir(cwd.path()).entryList({"core*"}, QDir::Files);
    };
    // Without the program's protection this machine does write a core file.
    if (crash("/bin/sleep", {"30"}, {}).isEmpty())
        GTEST_SKIP() << "this machine writes no core files (pattern '" << where.constData() << "')";
    EXPECT_EQ(crash(cliPath(), {"passwd", "--password-stdin", package_}, kOld + '\n'), QStringList());
}

TEST_F(CliProcesses, AFullPrivateFolderGivesItsRealReason)
{
    // A file whose plaintext cannot fit the memory-backed private folder.
    ASSERT_EQ(runCli({"set", "--password-stdin", package_, "Bank", "Notes", QString(120000, 'n')}, kOld + '\n').exitCode, 0);
    const QString small = dir_.filePath("small-run");
    QDir().mkpath(small);
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs root";
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(small));
    const CliRun listing = runCli({"list", "--password-stdin", package_}, kOld + '\n');
    const CliRun adding = runCli({"add", "--password-stdin", package_, "More"}, kOld + '\n');
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime()));
    const int leftInFolder = int(QDir(small).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size());
    ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);

    for (const CliRun* run : {&listing, &adding}) {
        EXPECT_EQ(run->exitCode, 1);
        EXPECT_TRUE(run->err.contains("No space left on device")) << run->err.constData();
        EXPECT_FALSE(run->err.contains("password is incorrect"));
    }
    EXPECT_EQ(leftInFolder, 0);
    EXPECT_EQ(listed(kOld).size(), 3);
}
