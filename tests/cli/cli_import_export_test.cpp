// quorly-cli import and export, run as a user would: browser exports into a copy of an
// independently made package, an export imported back, and the refusals that change
// nothing.
#include "cli/CliRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QByteArray kPassword = "correct horse\n";
const QString kExports = QStringLiteral(QUORLY_TEST_DATA_DIR "/import/");

class CliImportExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(dir.path()).mkpath("home");
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("home/.config")));
        qunsetenv("XDG_RUNTIME_DIR");
        package = copyPackage("current.qly", dir);
    }

    static CliRun cli(QStringList args)
    {
        args.insert(1, "--password-stdin");
        return runCli(args, kPassword);
    }
    // The entries by name, each with its core fields.
    QMap<QString, QStringList> entries(const QString& of)
    {
        const CliRun run = cli({"dump", of});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QMap<QString, QStringList> result;
        for (const QJsonValue& v : QJsonDocument::fromJson(run.out).object().value("entries").toArray()) {
            const QJsonObject e = v.toObject();
            result.insert(e.value("Path").toString(),
                          {e.value("websiteURL").toString(), e.value("websiteUserID").toString(),
                           e.value("websiteUserID2").toString(), e.value("websitePassword").toString(),
                           e.value("Notes").toString()});
        }
        return result;
    }

    QTemporaryDir dir;
    QString package;
};

}  // namespace

TEST_F(CliImportExport, ChromeAndKeePassExportsImportWithEveryCharacter)
{
    const int before = entries(package).size();
    CliRun run = cli({"import", package, kExports + "chrome.csv", "--columns", "name,url,user1,password,notes",
                      "--skip-header"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Imported 4 entries."));
    run = cli({"import", package, kExports + "keepassxc.csv", "--columns=-,name,user1,password,url,notes",
               "--skip-header"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    const QMap<QString, QStringList> after = entries(package);
    EXPECT_EQ(after.size(), before + 8);
    EXPECT_EQ(after.value("accounts.example.com"),
              (QStringList{"https://accounts.example.com/", "jörg.müller@example.de", "", "two  spaces", ""}));
    EXPECT_EQ(after.value("bank.example.net").mid(3), (QStringList{"tail ", "first line\nsecond, line"}));
    EXPECT_EQ(after.value("Mail, work"),
              (QStringList{"https://mail.example.com", " lead", "", "p\"q,r;s", "Tab\tinside"}));
    EXPECT_EQ(after.value("日本語サイト").at(3), " \tx  ");
}

TEST_F(CliImportExport, AnExportImportsBackIntoTheSameEntries)
{
    const QString out = dir.filePath("export.txt");
    ASSERT_EQ(cli({"export", package, out}).exitCode, 0);
    EXPECT_EQ(QFile(out).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    ASSERT_EQ(runCli({"create", "--password-stdin", dir.filePath("copy.qly")}, kPassword).exitCode, 0);
    const CliRun run = cli({"import", dir.filePath("copy.qly"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(entries(dir.filePath("copy.qly")), entries(package));

    // Named entries only, in the list's order.
    const QMap<QString, QStringList> all = entries(package);
    ASSERT_GE(all.size(), 2);
    const QString first = all.firstKey(), last = all.lastKey();
    ASSERT_EQ(cli({"export", package, out, last, first}).exitCode, 0);
    const QByteArray two = readFile(out);
    EXPECT_LT(two.indexOf(first.toUtf8()), two.indexOf(last.toUtf8()));
}

TEST_F(CliImportExport, RefusalsChangeNothing)
{
    const QByteArray untouched = fingerprint(package);
    CliRun run = cli({"import", package, dir.filePath("missing.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Nothing was imported")) << run.err.toStdString();
    EXPECT_EQ(cli({"import", package, kExports + "tab.txt", "--columns", "name,login"}).exitCode, 2);
    EXPECT_EQ(cli({"import", package, kExports + "tab.txt", "--separator", "pipe"}).exitCode, 2);
    EXPECT_EQ(cli({"export", package, dir.filePath("x.txt"), "No such entry"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.txt")));
    EXPECT_EQ(fingerprint(package), untouched);

    // Records left out are named on stderr, the others imported, and the status says so.
    run = cli({"import", package, kExports + "tab.txt", "--separator", "tab", "--columns",
               "name,url,user1,password,notes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains("Imported 1 entries.")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("record 1")) << run.err.toStdString();
}
