// A password file on two machines kept in step by a real Syncthing: both change it while
// they cannot reach each other, Syncthing keeps one change and moves the other into a
// conflict copy; the person opens the file in Quorly on one machine, and in the end both
// machines hold every entry of both. Runs under scripts/with-test-services (the program
// opens on its X server).
#include "app/RealProgram.h"
#include "app/ScratchHome.h"
#include "cli/CliRunner.h"
#include "store/SyncthingPair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace quorly::test;

namespace {

const QByteArray kFilePassword = "shared secret\n";

QStringList conflictCopies(const QString& package)
{
    return QDir(package).entryList({"*.sync-conflict-*"}, QDir::Files | QDir::Hidden);
}

// The package's files that Syncthing shares (not its own transfers), with their bytes.
QMap<QString, QByteArray> sharedFiles(const QString& package)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(package).entryList(QDir::Files | QDir::Hidden)) {
        if (!name.startsWith(".syncthing."))
            files.insert(name, readFile(package + '/' + name));
    }
    return files;
}

// The entry names of a package, sorted, as one line.
std::string entryNames(const QString& package)
{
    const CliRun run = runCli({"dump", "--password-stdin", package}, kFilePassword);
    QStringList names;
    for (const QJsonValue& entry : QJsonDocument::fromJson(run.out).object().value("entries").toArray())
        names << entry.toObject().value("Path").toString();
    names.sort();
    return names.join(", ").toStdString();
}

QString listing(const QString& package)
{
    return QDir(package).entryList(QDir::Files | QDir::Hidden).join(", ");
}

TEST(SyncthingConflict, BothMachinesEndWithEveryEntryOnceQuorlyOpensTheFile)
{
    coreApplication();
    if (QStandardPaths::findExecutable("syncthing").isEmpty())
        GTEST_SKIP() << "needs syncthing (scripts/bootstrap installs it)";
    if (qgetenv("QUORLY_TEST_DISPLAY") != "1" || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs the X server of scripts/with-test-services and xdotool";
    ScratchHome scratch;
    SyncthingPair sync(scratch.path() + "/machines");
    ASSERT_EQ(sync.error(), QString());
    ASSERT_TRUE(sync.waitUntilConnected(true)) << "the two Syncthings never connected:\n"
                                               << sync.logTail(0).toStdString();
    const QString desktop = sync.folder(0) + "/Shared.qly";
    const QString laptop = sync.folder(1) + "/Shared.qly";

    ASSERT_EQ(runCli({"create", "--password-stdin", desktop}, kFilePassword).exitCode, 0);
    ASSERT_TRUE(sync.scan(0));
    ASSERT_TRUE(spinUntil([&] { return sharedFiles(laptop) == sharedFiles(desktop); }, 60000))
        << "the new file never reached the second machine: " << listing(laptop).toStdString() << "\n"
        << sync.logTail(1).toStdString();

    // Each machine adds an entry of its own while they are apart.
    ASSERT_TRUE(sync.pause()) << "the two Syncthings did not let go of each other";
    for (const auto& [package, name] : {std::pair(desktop, "From the desktop"), std::pair(laptop, "From the laptop")})
        ASSERT_EQ(runCli({"add", "--password-stdin", "--entry-password-stdin", package, name}, kFilePassword + "pw\n")
                      .exitCode,
                  0);
    ASSERT_TRUE(sync.scan(0) && sync.scan(1));
    ASSERT_TRUE(sync.resume());
    ASSERT_TRUE(spinUntil(
        [&] { return !conflictCopies(desktop).isEmpty() && sharedFiles(laptop) == sharedFiles(desktop); }, 60000))
        << "no conflict copy on both machines: " << listing(desktop).toStdString() << " | "
        << listing(laptop).toStdString() << "\n"
        << sync.logTail(0).toStdString();

    // The person opens the file on the desktop.
    {
        QuorlyProcess quorly({desktop});
        const QString question = waitForWindow("^Quorly$");
        ASSERT_FALSE(question.isEmpty()) << "no file password question";
        typeInto(question, {"shared secret", "key:Return"});
        ASSERT_FALSE(waitForWindow("^Shared$").isEmpty()) << "the password file's window did not open";
        EXPECT_TRUE(spinUntil([&] { return conflictCopies(desktop).isEmpty(); }, 30000))
            << "the conflict copy stayed: " << listing(desktop).toStdString();
        quorly.terminate();
        ASSERT_TRUE(quorly.finished());
    }
    const std::string both = "From the desktop, From the laptop";
    EXPECT_EQ(entryNames(desktop), both);

    // Syncthing takes the merged file to the laptop, and the copy's removal with it.
    ASSERT_TRUE(sync.scan(0));
    EXPECT_TRUE(spinUntil([&] { return sharedFiles(laptop) == sharedFiles(desktop); }, 60000))
        << "the machines did not end alike: " << listing(desktop).toStdString() << " | "
        << listing(laptop).toStdString() << "\n"
        << sync.logTail(1).toStdString();
    EXPECT_TRUE(conflictCopies(laptop).isEmpty());
    EXPECT_EQ(entryNames(laptop), both);
}

}  // namespace
