// A process killed at any moment of a save leaves the stored list either as it was or
// as the save meant it, and no plaintext outside its private temporary folder.
#include "store/DocumentTestSupport.h"

#include "store/NewPasswordFile.h"
#include "store/PackageReader.h"
#include "store/TempFolder.h"

#include <QProcess>
#include <QThread>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace quorly;
using namespace quorly::test;

TEST(DocumentKill, StoredListIsAlwaysOldOrNew)
{
    scratch();
    QTemporaryDir dir(scratch().root() + QStringLiteral("/killXXXXXX"));
    const QString package = dir.path() + QStringLiteral("/Killed.qly");
    const QString password = QStringLiteral("kill me");
    ASSERT_TRUE(createPasswordFile(package, password));

    int stored = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORLY_TEST_PASSWORD"), password);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUORLY_SAVE_LOOP), {package});
        ASSERT_TRUE(process.waitForStarted());
        // Wait for the open, then kill somewhere inside the run of saves.
        ASSERT_TRUE(process.waitForReadyRead(20000)) << process.readAllStandardError().toStdString();
        QThread::msleep(QRandomGenerator::global()->bounded(5, 250));
        process.kill();
        process.waitForFinished();

        const QStringList printed = QString::fromLatin1(process.readAllStandardOutput()).split(
            QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(printed.isEmpty());
        EXPECT_EQ(printed.first().toInt(), stored) << "round " << round;
        const int lastSaved = printed.last().toInt();

        const PackageContents contents = readPackage(package, password);
        ASSERT_EQ(contents.status, PackageContents::Status::Ok) << contents.message.toStdString();
        stored = int(contents.entries.size());
        // The last save reported, or the one after it that finished its rename.
        EXPECT_TRUE(stored == lastSaved || stored == lastSaved + 1)
            << "round " << round << ": stored " << stored << ", last reported " << lastSaved;

        // Plaintext only ever inside the killed process's private folder, which the
        // next start of the program removes.
        for (const QString& file : ScratchEnvironment::plaintextFilesBelow(scratch().root()))
            EXPECT_TRUE(file.contains(QStringLiteral("/.QLY."))) << file.toStdString();
        TempFolder::removeStale();
        EXPECT_EQ(ScratchEnvironment::plaintextFilesBelow(scratch().root()), QStringList());
    }
    EXPECT_GT(stored, 0);
}

TEST(DocumentKill, ChangeByAnotherProcessReachesTheOpenDocument)
{
    scratch();
    QTemporaryDir dir(scratch().root() + QStringLiteral("/twoXXXXXX"));
    const QString package = dir.path() + QStringLiteral("/Shared.qly");
    const QString password = QStringLiteral("shared");
    ASSERT_TRUE(createPasswordFile(package, password));
    ScriptedWindow window({password});
    MyDocument document(package);
    window.document = &document;
    document.setWindow(&window);
    ASSERT_TRUE(document.openDatabase());
    ASSERT_EQ(document.passwordArray().size(), 0);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORLY_TEST_PASSWORD"), password);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUORLY_SAVE_LOOP), {package});
    QByteArray out;
    while (out.count('\n') < 3 && process.waitForReadyRead(20000))
        out += process.readAllStandardOutput();
    process.kill();
    process.waitForFinished();

    const int stored = int(readPackage(package, password).entries.size());
    ASSERT_GT(stored, 0);
    EXPECT_TRUE(document.fileChanged());
    document.checkForUpdates();
    EXPECT_EQ(document.passwordArray().size(), stored);
    EXPECT_TRUE(window.messages.isEmpty());
    document.close();
}
