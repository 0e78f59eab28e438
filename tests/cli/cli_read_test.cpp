#include "cli/CliRunner.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

// The expected contents beside each fixture package, and the password that opens it.
QJsonObject expected(const QString& package)
{
    return QJsonDocument::fromJson(readFile(kPackages + '/' + package.chopped(4) + ".expected.json")).object();
}

}  // namespace

TEST(CliRead, DumpsIndependentlyMadePackagesExactlyAndChangesNothing)
{
    for (const char* name : {"current.qly", "nonascii.qly", "pre20.qly"}) {
        SCOPED_TRACE(name);
        QJsonObject want = expected(name);
        ASSERT_FALSE(want.isEmpty()) << "missing expected JSON";
        const QByteArray password = want.take("password").toString().toUtf8();

        QTemporaryDir dir;
        const QString package = copyPackage(name, dir);
        const QByteArray before = fingerprint(package);
        const CliRun run = runCli({"dump", package, "--password-stdin"}, password + '\n');
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(QJsonDocument::fromJson(run.out).object(), want) << run.out.constData();
        EXPECT_EQ(fingerprint(package), before);
    }
}

TEST(CliRead, ListsNamesInListOrder)
{
    const CliRun run = runCli({"list", "--password-stdin", kPackages + "/current.qly"}, "correct horse\n");
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QStringList names = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(names.size(), 2);
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.toUcs4() < b.toUcs4();
    });
    EXPECT_EQ(names, sorted);
}

TEST(CliRead, FailuresGiveTheirMessageAndStatus)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("empty.qly");
    const QString current = kPackages + "/current.qly";

    struct Case {
        QStringList args;
        QByteArray input;
        int status;
        const char* message;
    } cases[] = {
        {{"dump", current, "--password-stdin"}, "wrong horse\n", 4, "password is incorrect"},
        {{"dump", kPackages + "/damaged.qly", "--password-stdin"}, "correct horse\n", 5, "damaged"},
        {{"dump", dir.filePath("empty.qly"), "--password-stdin"}, "x\n", 3, "This is not a Quorly file."},
        {{"list", dir.filePath("missing.qly"), "--password-stdin"}, "x\n", 3, "no such file"},
        {{"dump", current, "--password-stdin"}, "", 2, "standard input ended"},
        {{"dump", current}, "", 2, "use --password-stdin"},
        {{"dump", "--bogus", "x"}, "", 2, "unknown option"},
        {{"frobnicate"}, "", 2, "unknown command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = runCli(c.args, c.input);
        EXPECT_EQ(run.exitCode, c.status);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        EXPECT_TRUE(run.out.isEmpty());
    }
}
