#include "cli/CliRunner.h"

#include <gtest/gtest.h>

namespace {

CliRun dumpWith(const QString& package, const QByteArray& password)
{
    return runCli({"dump", "--password-stdin", package}, password + '\n');
}

}  // namespace

TEST(CliPasswd, ChangesBothFilesSoOnlyTheNewPasswordOpensThem)
{
    QTemporaryDir dir;
    const QString package = copyPackage("current.qly", dir);
    const CliRun before = dumpWith(package, "correct horse");
    ASSERT_EQ(before.exitCode, 0);

    const CliRun change = runCli({"passwd", package, "--password-stdin"}, "correct horse\nnew stäble\nnew stäble\n");
    ASSERT_EQ(change.exitCode, 0) << change.err.constData();

    const CliRun after = dumpWith(package, "new stäble");
    ASSERT_EQ(after.exitCode, 0) << after.err.constData();
    EXPECT_EQ(after.out, before.out);  // entries and recent websites alike
    EXPECT_EQ(dumpWith(package, "correct horse").exitCode, 4);
}

TEST(CliPasswd, RefusalsChangeNothing)
{
    QTemporaryDir dir;
    const QString package = copyPackage("current.qly", dir);
    const QByteArray stored = readFile(package + "/Data.qlyi");

    struct Case {
        QByteArray input;
        int status;
        const char* message;
    } cases[] = {
        {"wrong horse\nx\nx\n", 4, "password is incorrect"},
        {"correct horse\none\ntwo\n", 1, "Password NOT changed."},
        {"correct horse\n\n\n", 1, "Password NOT changed."},
        {"correct horse\nonly one\n", 2, "standard input ended"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.constData());
        const CliRun run = runCli({"passwd", "--password-stdin", package}, c.input);
        EXPECT_EQ(run.exitCode, c.status);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        EXPECT_EQ(readFile(package + "/Data.qlyi"), stored);
    }
    EXPECT_EQ(dumpWith(package, "correct horse").exitCode, 0);
}
