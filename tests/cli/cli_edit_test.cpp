// The editing commands of quorly-cli, run as a user would run them, on copies of
// independently made packages and on packages the command itself creates.
#include "cli/CliRunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString kPackages = QStringLiteral(QUORLY_TEST_DATA_DIR "/packages");
const QByteArray kFixturePassword = "correct horse\n";

class CliEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The commands make their private folders in the runtime folder or the home.
        QDir(dir_.path()).mkpath(QStringLiteral("home"));
        qputenv("HOME", QFile::encodeName(dir_.filePath(QStringLiteral("home"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("home/.config"))));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    QString copyPackage(const QString& name)
    {
        const QString target = dir_.filePath(name);
        QDir().mkpath(target);
        for (const QString& file : QDir(kPackages + QLatin1Char('/') + name).entryList(QDir::Files))
            QFile::copy(kPackages + QLatin1Char('/') + name + QLatin1Char('/') + file, target + QLatin1Char('/') + file);
        return target;
    }

    static QJsonObject dump(const QString& package, const QByteArray& password = kFixturePassword)
    {
        const CliRun run = runCli({QStringLiteral("dump"), QStringLiteral("--password-stdin"), package}, password);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out).object();
    }

    static QStringList names(const QJsonObject& dumped)
    {
        QStringList result;
        for (const QJsonValue& e : dumped.value(QStringLiteral("entries")).toArray())
            result << e.toObject().value(QStringLiteral("Path")).toString();
        return result;
    }

    static QByteArray fingerprint(const QString& folder)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
            QFile file(folder + QLatin1Char('/') + name);
            file.open(QIODevice::ReadOnly);
            hash.addData(name.toUtf8());
            hash.addData(file.readAll());
        }
        return hash.result();
    }

    QTemporaryDir dir_;
};

TEST_F(CliEdit, CreateAddSetRemove)
{
    const QString package = dir_.filePath(QStringLiteral("New.qly"));
    CliRun run = runCli({QStringLiteral("create"), QStringLiteral("--password-stdin"), dir_.filePath(QStringLiteral("New"))}, "pw\n");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QDir(package).entryList(QDir::Files),
              (QStringList{QStringLiteral("Data.qlyi"), QStringLiteral("Recent Websites.qlyi")}));
    EXPECT_EQ(runCli({QStringLiteral("create"), QStringLiteral("--password-stdin"), package}, "pw\n").exitCode, 1);

    // Options anywhere after the command name; a taken name gets a number.
    run = runCli({QStringLiteral("add"), QStringLiteral("--password-stdin"), package, QStringLiteral("Bank"),
                  QStringLiteral("--url"), QStringLiteral("https://bank.example"), QStringLiteral("--user2"), QString()},
                 "pw\n");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = runCli({QStringLiteral("add"), package, QStringLiteral("--password"), QStringLiteral("s3"),
                  QStringLiteral("Bank"), QStringLiteral("--password-stdin")},
                 "pw\n");
    EXPECT_EQ(run.out.trimmed(), "Bank2");
    EXPECT_EQ(runCli({QStringLiteral("set"), QStringLiteral("--password-stdin"), package, QStringLiteral("Bank"),
                      QStringLiteral("websiteUserIDTabCount"), QStringLiteral("-3"), QStringLiteral("--int")},
                     "pw\n").exitCode, 0);
    EXPECT_EQ(runCli({QStringLiteral("set"), QStringLiteral("--bool"), QStringLiteral("--password-stdin"), package,
                      QStringLiteral("Bank"), QStringLiteral("websitePasswordTabSwitch"), QStringLiteral("true")},
                     "pw\n").exitCode, 0);
    EXPECT_EQ(runCli({QStringLiteral("remove"), QStringLiteral("--password-stdin"), package, QStringLiteral("Bank2")},
                     "pw\n").exitCode, 0);

    const QJsonObject dumped = dump(package, "pw\n");
    ASSERT_EQ(names(dumped), QStringList{QStringLiteral("Bank")});
    const QJsonObject bank = dumped.value(QStringLiteral("entries")).toArray().at(0).toObject();
    EXPECT_EQ(bank.value(QStringLiteral("websiteURL")).toString(), QStringLiteral("https://bank.example"));
    EXPECT_FALSE(bank.contains(QStringLiteral("websiteUserID2")));  // an empty second ID is no key
    EXPECT_EQ(bank.value(QStringLiteral("websiteUserIDTabCount")), QJsonValue(-3));
    EXPECT_EQ(bank.value(QStringLiteral("websitePasswordTabSwitch")), QJsonValue(true));
    EXPECT_EQ(bank.value(QStringLiteral("Button")).toString(), QString());
}

TEST_F(CliEdit, FailuresChangeNothing)
{
    // Opening rewrites the recent-websites file, as the program does; the entries stay.
    const QString package = copyPackage(QStringLiteral("current.qly"));
    const auto dataFile = [&] {
        QFile file(package + QStringLiteral("/Data.qlyi"));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    const QByteArray before = fingerprint(package);
    const auto run = [&](QStringList args, const QByteArray& input = kFixturePassword) {
        args.insert(1, QStringLiteral("--password-stdin"));
        return runCli(args, input);
    };
    EXPECT_EQ(run({QStringLiteral("add"), package, QStringLiteral("X")}, "wrong\n").exitCode, 4);
    EXPECT_EQ(fingerprint(package), before);
    const QByteArray data = dataFile();
    EXPECT_EQ(run({QStringLiteral("set"), package, QStringLiteral("Nobody"), QStringLiteral("Notes"), QStringLiteral("x")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("set"), package, QStringLiteral("Bank"), QStringLiteral("websiteUserIDTabCount"),
                   QStringLiteral("many"), QStringLiteral("--int")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("set"), package, QStringLiteral("Bank"), QStringLiteral("Path"), QStringLiteral("mail")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("remove"), package, QStringLiteral("Nobody")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("add"), dir_.path(), QStringLiteral("X")}).exitCode, 3);
    EXPECT_EQ(dataFile(), data);

    // A save that cannot be written (files may not grow past 8 KB): told, status 1, stored file kept.
    QProcess process;
    process.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly-cli"),
                  {QStringLiteral("add"), QStringLiteral("--password-stdin"), package, QStringLiteral("Big"),
                   QStringLiteral("--notes"), QString(20000, QLatin1Char('n'))});
    process.write(kFixturePassword);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("UNKNOWN ERROR: Your changes will show in the window"));
    EXPECT_EQ(dataFile(), data);
}

TEST_F(CliEdit, MigratesAndMergesOnTheWay)
{
    const QString old = copyPackage(QStringLiteral("pre20.qly"));
    ASSERT_EQ(runCli({QStringLiteral("add"), QStringLiteral("--password-stdin"), old, QStringLiteral("zebra")},
                     kFixturePassword).exitCode, 0);
    EXPECT_EQ(QDir(old).entryList(QDir::Files),
              (QStringList{QStringLiteral("Data.qlyi"), QStringLiteral("Recent Websites.qlyi")}));
    const QJsonObject migrated = dump(old);
    EXPECT_EQ(migrated.value(QStringLiteral("format")).toString(), QStringLiteral("current"));
    EXPECT_EQ(names(migrated).size(), 4);

    // A copy of the original data file dropped beside the changed one brings back what
    // was removed meanwhile, and goes; "Database.qlyi" is nobody's copy.
    const QString package = copyPackage(QStringLiteral("current.qly"));
    QFile::copy(package + QStringLiteral("/Data.qlyi"), dir_.filePath(QStringLiteral("original")));
    ASSERT_EQ(runCli({QStringLiteral("remove"), QStringLiteral("--password-stdin"), package, QStringLiteral("Bank")},
                     kFixturePassword).exitCode, 0);
    QFile::copy(dir_.filePath(QStringLiteral("original")), package + QStringLiteral("/Data 2.qlyi"));
    QFile::copy(dir_.filePath(QStringLiteral("original")), package + QStringLiteral("/Database.qlyi"));
    ASSERT_EQ(runCli({QStringLiteral("set"), QStringLiteral("--password-stdin"), package, QStringLiteral("mail"),
                      QStringLiteral("Notes"), QStringLiteral("changed")},
                     kFixturePassword).exitCode, 0);
    EXPECT_FALSE(QFile::exists(package + QStringLiteral("/Data 2.qlyi")));
    EXPECT_TRUE(QFile::exists(package + QStringLiteral("/Database.qlyi")));
    // The copy is merged while the package opens, before the change: Bank comes back,
    // the rest of the copy equals what is there.
    const QJsonObject merged = dump(package);
    EXPECT_EQ(names(merged), (QStringList{QStringLiteral("Bank"), QStringLiteral("Caf\u00e9 Z\u00fcrich \u2615"),
                                          QStringLiteral("mail")}));
    EXPECT_EQ(merged.value(QStringLiteral("entries")).toArray().at(2).toObject().value(QStringLiteral("Notes")),
              QJsonValue(QStringLiteral("changed")));
}

}  // namespace
