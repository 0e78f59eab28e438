#include "cli/CliRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString copyCurrentFixture(const QTemporaryDir& dir)
{
    const QString source = QStringLiteral(QUORLY_TEST_DATA_DIR "/packages/current.qly");
    const QString target = dir.filePath(QStringLiteral("current.qly"));
    QDir().mkpath(target);
    for (const QString& name : QDir(source).entryList(QDir::Files))
        QFile::copy(source + QLatin1Char('/') + name, target + QLatin1Char('/') + name);
    return target;
}

CliRun dumpWith(const QString& package, const QByteArray& password)
{
    return runCli({QStringLiteral("dump"), QStringLiteral("--password-stdin"), package}, password + '\n');
}

}  // namespace

TEST(CliPasswd, ChangesBothFilesSoOnlyTheNewPasswordOpensThem)
{
    QTemporaryDir dir;
    const QString package = copyCurrentFixture(dir);
    const CliRun before = dumpWith(package, "correct horse");
    ASSERT_EQ(before.exitCode, 0);

    const CliRun change = runCli({QStringLiteral("passwd"), package, QStringLiteral("--password-stdin")},
                                 "correct horse\nnew stäble\nnew stäble\n");
    ASSERT_EQ(change.exitCode, 0) << change.err.constData();

    const CliRun after = dumpWith(package, "new stäble");
    ASSERT_EQ(after.exitCode, 0) << after.err.constData();
    EXPECT_EQ(after.out, before.out);  // entries and recent websites alike
    EXPECT_EQ(dumpWith(package, "correct horse").exitCode, 4);
}

TEST(CliPasswd, RefusalsChangeNothing)
{
    QTemporaryDir dir;
    const QString package = copyCurrentFixture(dir);
    QFile data(package + QStringLiteral("/Data.qlyi"));
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    const QByteArray stored = data.readAll();
    data.close();

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
        const CliRun run = runCli({QStringLiteral("passwd"), QStringLiteral("--password-stdin"), package}, c.input);
        EXPECT_EQ(run.exitCode, c.status);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        ASSERT_TRUE(data.open(QIODevice::ReadOnly));
        EXPECT_EQ(data.readAll(), stored);
        data.close();
    }
    EXPECT_EQ(dumpWith(package, "correct horse").exitCode, 0);
}
