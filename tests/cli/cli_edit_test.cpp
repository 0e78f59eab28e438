// The editing commands of quorly-cli, run as a user would run them, on copies of
// independently made packages and on packages the command itself creates.
#include "cli/CliRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray kFixturePassword = "correct horse\n";

class CliEdit : public ::testing::Test {
protected:
    void SetUp() override { useScratchHome(dir_, false); }

    // Runs a command with the password on standard input.
    static int edit(QStringList args, const QByteArray& password = kFixturePassword)
    {
        args.insert(1, "--password-stdin");
        const CliRun run = runCli(args, password);
        EXPECT_TRUE(run.exitCode == 0 || !run.err.isEmpty());
        return run.exitCode;
    }

    static QJsonArray dump(const QString& package, const QByteArray& password = kFixturePassword,
                           QString* format = nullptr)
    {
        const CliRun run = runCli({"dump", "--password-stdin", package}, password);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QJsonObject dumped = QJsonDocument::fromJson(run.out).object();
        if (format)
            *format = dumped.value("format").toString();
        return dumped.value("entries").toArray();
    }

    static QStringList names(const QJsonArray& entries)
    {
        QStringList result;
        for (const QJsonValue& e : entries)
            result << e.toObject().value("Path").toString();
        return result;
    }

    QTemporaryDir dir_;
};

TEST_F(CliEdit, CreateAddSetRemove)
{
    const QString package = dir_.filePath("New.qly");
    ASSERT_EQ(edit({"create", dir_.filePath("New")}, "pw\n"), 0);
    EXPECT_EQ(QDir(package).entryList(QDir::Files), (QStringList{"Data.qlyi", "Recent Websites.qlyi"}));
    EXPECT_EQ(edit({"create", package}, "pw\n"), 1);

    // Options anywhere after the command name; a taken name gets a number.
    ASSERT_EQ(edit({"add", package, "Bank", "--url", "https://bank.example", "--user2", ""}, "pw\n"), 0);
    const CliRun second = runCli({"add", package, "--password", "s3", "Bank", "--password-stdin"}, "pw\n");
    EXPECT_EQ(second.out.trimmed(), "Bank2");
    EXPECT_EQ(edit({"set", package, "Bank", "websiteUserIDTabCount", "-3", "--int"}, "pw\n"), 0);
    EXPECT_EQ(edit({"set", "--bool", package, "Bank", "websitePasswordTabSwitch", "true"}, "pw\n"), 0);
    EXPECT_EQ(edit({"remove", package, "Bank2"}, "pw\n"), 0);

    const QJsonArray entries = dump(package, "pw\n");
    ASSERT_EQ(names(entries), QStringList{"Bank"});
    const QJsonObject bank = entries.at(0).toObject();
    EXPECT_EQ(bank.value("websiteURL").toString(), "https://bank.example");
    EXPECT_FALSE(bank.contains("websiteUserID2"));  // an empty second ID is no key
    EXPECT_EQ(bank.value("websiteUserIDTabCount"), QJsonValue(-3));
    EXPECT_EQ(bank.value("websitePasswordTabSwitch"), QJsonValue(true));
    EXPECT_EQ(bank.value("Button").toString(), QString());
}

TEST_F(CliEdit, SecretsComeFromStandardInputAndEveryNameListsAsOneLine)
{
    const QString package = dir_.filePath("Lines.qly");
    ASSERT_EQ(edit({"create", package}, "pw\n"), 0);
    // The entry's password after the file password, never in the argument list.
    ASSERT_EQ(edit({"add", package, "Bank", "--entry-password-stdin"}, "pw\ns3cret word\n"), 0);
    ASSERT_EQ(edit({"set", package, "Bank", "websiteUserID", "--value-stdin"}, "pw\nme@example.org\n"), 0);
    QJsonObject bank = dump(package, "pw\n").at(0).toObject();
    EXPECT_EQ(bank.value("websitePassword").toString(), "s3cret word");
    EXPECT_EQ(bank.value("websiteUserID").toString(), "me@example.org");
    EXPECT_EQ(edit({"set", package, "Bank", "Notes", "x", "--value-stdin"}, "pw\n"), 2);
    EXPECT_EQ(edit({"add", package, "X", "--password", "p", "--entry-password-stdin"}, "pw\n"), 2);

    for (const char* name : {"Two\nLines", "\"Quoted", "Back\\slash"})
        ASSERT_EQ(edit({"add", package, QString::fromUtf8(name)}, "pw\n"), 0);
    const CliRun lines = runCli({"list", "--password-stdin", package}, "pw\n");
    EXPECT_EQ(lines.out, QByteArray("\"\\\"Quoted\"\nBack\\slash\nBank\n\"Two\\nLines\"\n"));
    const CliRun nul = runCli({"list", "--null", "--password-stdin", package}, "pw\n");
    EXPECT_EQ(nul.out, QByteArray("\"Quoted\0Back\\slash\0Bank\0Two\nLines\0", 34));
}

TEST_F(CliEdit, FailuresChangeNothing)
{
    const QString package = copyPackage("current.qly", dir_);
    const QByteArray before = fingerprint(package);
    EXPECT_EQ(edit({"add", package, "X"}, "wrong\n"), 4);
    EXPECT_EQ(fingerprint(package), before);

    // Opening rewrites the recent-websites file, as the program does; the entries stay.
    const QByteArray data = readFile(package + "/Data.qlyi");
    EXPECT_EQ(edit({"set", package, "Nobody", "Notes", "x"}), 1);
    EXPECT_EQ(edit({"set", package, "Bank", "websiteUserIDTabCount", "many", "--int"}), 2);
    EXPECT_EQ(edit({"set", package, "Bank", "Path", "mail"}), 1);
    EXPECT_EQ(edit({"remove", package, "Nobody"}), 1);
    EXPECT_EQ(edit({"add", dir_.path(), "X"}), 3);
    EXPECT_EQ(readFile(package + "/Data.qlyi"), data);

    // A save that cannot be written (files may not grow past 8 KB): told, status 1, stored file kept.
    QProcess process;
    process.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(cliPath(),
                  {"add", "--password-stdin", package, "Big", "--notes", QString(20000, 'n')});
    process.write(kFixturePassword);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("UNKNOWN ERROR: Your changes will show in the window"));
    EXPECT_EQ(readFile(package + "/Data.qlyi"), data);
}

TEST_F(CliEdit, MigratesAndMergesOnTheWay)
{
    const QString old = copyPackage("pre20.qly", dir_);
    ASSERT_EQ(edit({"add", old, "zebra"}), 0);
    EXPECT_EQ(QDir(old).entryList(QDir::Files), (QStringList{"Data.qlyi", "Recent Websites.qlyi"}));
    QString format;
    EXPECT_EQ(dump(old, kFixturePassword, &format).size(), 4);
    EXPECT_EQ(format, "current");

    // A copy of the original data file dropped beside the changed one brings back what
    // was removed meanwhile, and goes; "Database.qlyi" is nobody's copy.
    const QString package = copyPackage("current.qly", dir_);
    const QString original = dir_.filePath("original");
    QFile::copy(package + "/Data.qlyi", original);
    ASSERT_EQ(edit({"remove", package, "Bank"}), 0);
    QFile::copy(original, package + "/Data 2.qlyi");
    QFile::copy(original, package + "/Database.qlyi");
    ASSERT_EQ(edit({"set", package, "mail", "Notes", "changed"}), 0);
    EXPECT_FALSE(QFile::exists(package + "/Data 2.qlyi"));
    EXPECT_TRUE(QFile::exists(package + "/Database.qlyi"));
    // The copy is merged while the package opens, before the change: Bank comes back,
    // the rest of the copy equals what is there.
    const QJsonArray merged = dump(package);
    EXPECT_EQ(names(merged), (QStringList{"Bank", "Caf\u00e9 Z\u00fcrich \u2615", "mail"}));
    EXPECT_EQ(merged.at(2).toObject().value("Notes"), QJsonValue("changed"));
}

}  // namespace
