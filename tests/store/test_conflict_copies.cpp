// Copies that sync engines place beside a package's main files: which names count, and
// what opening the package does with each kind of item of such a name.
#include "store/ConflictCopies.h"
#include "store/DocumentTestSupport.h"

#include "login/WebsitePasswordManager.h"
#include "store/Globals.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorly;
using namespace quorly::test;

namespace {

TEST(ConflictCopyNames, RecogniseTheCopiesOfSyncEnginesAndNothingElse)
{
    const struct {
        const char* name;
        CopyOf copyOf;
    } cases[] = {
        // Dropbox, Nextcloud and a copy made by hand: the blank after the word.
        {"Data (Ann's conflicted copy 2024-01-05).qlyi", CopyOf::Data},
        {"Data (conflicted copy 2024-01-05 101010).qlyi", CopyOf::Data},
        {"Data 2.qlyi", CopyOf::Data},
        {"Recent Websites (Ann's conflicted copy 2024-01-05).qlyi", CopyOf::RecentWebsites},
        // Syncthing, current and old versions, and a copy of a copy.
        {"Data.sync-conflict-20240105-101010-ABCDEFG.qlyi", CopyOf::Data},
        {"Data.sync-conflict-20140904-123456.qlyi", CopyOf::Data},
        {"Data.sync-conflict-20240105-101010-ABCDEFG.sync-conflict-20240106-090000-HIJK234.qlyi", CopyOf::Data},
        {"Recent Websites.sync-conflict-20240105-101010-ABCDEFG.qlyi", CopyOf::RecentWebsites},
        // The main files, the old format and names that only look alike.
        {"Data.qlyi", CopyOf::Nothing},
        {"Recent Websites.qlyi", CopyOf::Nothing},
        {"Database.qlyi", CopyOf::Nothing},
        {"Data 2.qlye", CopyOf::Nothing},
        {"Data.old.qlyi", CopyOf::Nothing},
        {"data.sync-conflict-20240105-101010-ABCDEFG.qlyi", CopyOf::Nothing},
        {"Data.sync-conflict-2024-0105-ABCDEFG.qlyi", CopyOf::Nothing},
        {"Data.sync-conflict-20240105-101010-ABCDEFG.qlyi.tmp", CopyOf::Nothing},
        {"Data_conflict-20240105-101010.qlyi", CopyOf::Nothing},
        // Transfers in progress and the program's own temporaries are hidden.
        {".syncthing.Data.qlyi.tmp", CopyOf::Nothing},
        {".syncthing.Data.sync-conflict-20240105-101010-ABCDEFG.qlyi.tmp", CopyOf::Nothing},
        {"~syncthing~Data.qlyi.tmp", CopyOf::Nothing},
        {".Data.qlyi.a1B2c3", CopyOf::Nothing},
        {".Data 2.qlyi", CopyOf::Nothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(conflictCopyOf(QString::fromUtf8(c.name)), c.copyOf) << c.name;
}

class ConflictCopies : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch();
        dir_ = std::make_unique<QTemporaryDir>(scratch().root() + QStringLiteral("/copiesXXXXXX"));
        clearGFramis();
        package_ = copyFixturePackage(QStringLiteral("current.qly"), dir_->path() + QStringLiteral("/c.qly"));
    }

    QString inPackage(const QString& name) const { return package_ + QLatin1Char('/') + name; }

    std::unique_ptr<QTemporaryDir> dir_;
    QString package_;
};

TEST_F(ConflictCopies, SyncthingCopiesMergeAtOpenAndGoOnceStored)
{
    const QString dataCopy = inPackage(QStringLiteral("Data.sync-conflict-20240105-101010-ABCDEFG.qlyi"));
    const QString titlesCopy = inPackage(QStringLiteral("Recent Websites.sync-conflict-20240105-101010-ABCDEFG.qlyi"));
    writeEntriesFile(dataCopy, {entry(QStringLiteral("From the laptop"), QStringLiteral("pw"))}, kFixturePassword);
    writeTitlesFile(titlesCopy, {QStringLiteral("From the laptop")}, kFixturePassword);

    ScriptedWindow window({kFixturePassword});
    MyDocument document(package_);
    window.document = &document;
    document.setWindow(&window);
    ASSERT_TRUE(document.openDatabase());

    EXPECT_TRUE(document.passwordArray().entryWithName(QStringLiteral("From the laptop")));
    EXPECT_EQ(document.wpm()->recentWebsiteTitles().value(0), QStringLiteral("From the laptop"));
    EXPECT_FALSE(QFileInfo::exists(dataCopy));
    EXPECT_FALSE(QFileInfo::exists(titlesCopy));
    const std::optional<QList<EntryRef>> stored = readEntriesFile(inPackage(QStringLiteral("Data.qlyi")), kFixturePassword);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(std::any_of(stored->begin(), stored->end(),
                            [](const EntryRef& e) { return e->name() == QLatin1String("From the laptop"); }));
    EXPECT_TRUE(window.messages.isEmpty());
    document.close();
}

TEST_F(ConflictCopies, TransfersFoldersAndForeignCopiesStayAsTheyAre)
{
    // A transfer in progress that happens to hold a whole readable file, a folder with a
    // copy's name, and a copy written under another password.
    const QString transfer = inPackage(QStringLiteral(".syncthing.Data.qlyi.tmp"));
    writeEntriesFile(transfer, {entry(QStringLiteral("Half sent"))}, kFixturePassword);
    const QString folder = inPackage(QStringLiteral("Data.sync-conflict-20240105-101010-ABCDEFG.qlyi"));
    QDir().mkpath(folder);
    const QString foreign = inPackage(QStringLiteral("Data.sync-conflict-20240106-090000-HIJK234.qlyi"));
    writeEntriesFile(foreign, {entry(QStringLiteral("Other password"))}, QStringLiteral("another password"));
    const QMap<QString, QByteArray> before = snapshot(package_);

    ScriptedWindow window({kFixturePassword});
    MyDocument document(package_);
    window.document = &document;
    document.setWindow(&window);
    ASSERT_TRUE(document.openDatabase());
    document.checkForUpdates();

    EXPECT_FALSE(document.passwordArray().entryWithName(QStringLiteral("Half sent")));
    EXPECT_FALSE(document.passwordArray().entryWithName(QStringLiteral("Other password")));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    const QMap<QString, QByteArray> after = snapshot(package_);
    for (const QString& name : {QStringLiteral(".syncthing.Data.qlyi.tmp"),
                                QStringLiteral("Data.sync-conflict-20240106-090000-HIJK234.qlyi")})
        EXPECT_EQ(after.value(name), before.value(name)) << name.toStdString();
    document.close();
}

}  // namespace
