#include "cli/CliRunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kPackages = QStringLiteral(QUORLY_TEST_DATA_DIR "/packages");

QByteArray fingerprint(const QString& folder)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList names;
    while (it.hasNext())
        names << it.next();
    names.sort();
    for (const QString& name : names) {
        QFile file(name);
        file.open(QIODevice::ReadOnly);
        hash.addData(name.toUtf8());
        hash.addData(file.readAll());
    }
    return hash.result();
}

// Copies a fixture package, so that a command that wrongly wrote would be noticed
// without touching the committed files.
QString copyPackage(const QString& name, const QTemporaryDir& into)
{
    const QString target = into.filePath(name);
    QDir().mkpath(target);
    for (const QString& file : QDir(kPackages + QLatin1Char('/') + name).entryList(QDir::Files))
        QFile::copy(kPackages + QLatin1Char('/') + name + QLatin1Char('/') + file, target + QLatin1Char('/') + file);
    return target;
}

// The expected contents beside each fixture package, and the password that opens it.
QJsonObject expected(const QString& package)
{
    QFile file(kPackages + QLatin1Char('/') + package.chopped(4) + QStringLiteral(".expected.json"));
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

}  // namespace

TEST(CliRead, DumpsIndependentlyMadePackagesExactlyAndChangesNothing)
{
    for (const QString& name : {QStringLiteral("current.qly"), QStringLiteral("nonascii.qly"),
                               QStringLiteral("pre20.qly")}) {
        SCOPED_TRACE(name.toStdString());
        QJsonObject want = expected(name);
        ASSERT_FALSE(want.isEmpty()) << "missing expected JSON";
        const QByteArray password = want.take(QStringLiteral("password")).toString().toUtf8();

        QTemporaryDir dir;
        const QString package = copyPackage(name, dir);
        const QByteArray before = fingerprint(package);
        const CliRun run = runCli({QStringLiteral("dump"), package, QStringLiteral("--password-stdin")},
                                  password + '\n');
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(QJsonDocument::fromJson(run.out).object(), want) << run.out.constData();
        EXPECT_EQ(fingerprint(package), before);
    }
}

TEST(CliRead, ListsNamesInListOrder)
{
    const CliRun run = runCli({QStringLiteral("list"), QStringLiteral("--password-stdin"),
                               kPackages + QStringLiteral("/current.qly")},
                              "correct horse\n");
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    QStringList names = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
    QDir(dir.path()).mkdir(QStringLiteral("empty.qly"));

    struct Case {
        QStringList args;
        QByteArray input;
        int status;
        const char* message;
    } cases[] = {
        {{QStringLiteral("dump"), kPackages + QStringLiteral("/current.qly"), QStringLiteral("--password-stdin")},
         "wrong horse\n", 4, "password is incorrect"},
        {{QStringLiteral("dump"), kPackages + QStringLiteral("/damaged.qly"), QStringLiteral("--password-stdin")},
         "correct horse\n", 5, "damaged"},
        {{QStringLiteral("dump"), dir.filePath(QStringLiteral("empty.qly")), QStringLiteral("--password-stdin")},
         "x\n", 3, "This is not a Quorly file."},
        {{QStringLiteral("list"), dir.filePath(QStringLiteral("missing.qly")), QStringLiteral("--password-stdin")},
         "x\n", 3, "no such file"},
        {{QStringLiteral("dump"), kPackages + QStringLiteral("/current.qly"), QStringLiteral("--password-stdin")},
         "", 2, "standard input ended"},
        {{QStringLiteral("dump"), kPackages + QStringLiteral("/current.qly")}, "", 2, "use --password-stdin"},
        {{QStringLiteral("dump"), QStringLiteral("--bogus"), QStringLiteral("x")}, "", 2, "unknown option"},
        {{QStringLiteral("frobnicate")}, "", 2, "unknown command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CliRun run = runCli(c.args, c.input);
        EXPECT_EQ(run.exitCode, c.status);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        EXPECT_TRUE(run.out.isEmpty());
    }
}
