#include "store/PasswordChange.h"

#include "platform/KeyedArchive.h"
#include "store/CipherEngine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace quorly;

namespace {

class PasswordChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.isValid());
        // The private temporary folder goes to the scratch folder, never the real home.
        const QByteArray runtime = QFile::encodeName(scratch.path());
        oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime);
        QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        package = scratch.filePath("Home.qly");
        ASSERT_TRUE(QDir().mkpath(package));
        dataPlain = archive("entries");
        recentPlain = archive("https://example.org/");
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", oldRuntime); }

    static QByteArray archive(const QString& text)
    {
        return KeyedArchive::encode(ArchiveValue::fromArray({ArchiveValue(text)}));
    }

    QString path(const char* name) const { return QDir(package).filePath(QString::fromUtf8(name)); }

    void store(const char* name, const QByteArray& plain, const QString& framis)
    {
        const QString plainPath = scratch.filePath("plain");
        QFile f(plainPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(plain);
        f.close();
        selectCurrentParameters();
        ASSERT_TRUE(framisE(plainPath, framis, path(name)));
    }

    // The plaintext of a package file under `framis`, or nothing when it does not decrypt.
    QByteArray opened(const char* name, const QString& framis)
    {
        const QString out = scratch.filePath("out");
        selectCurrentParameters();
        if (!framisD(path(name), framis, out))
            return {};
        QFile f(out);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        secureDelete(out);
        return bytes;
    }

    QByteArray raw(const char* name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList packageItems() const
    {
        return QDir(package).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir scratch;
    QByteArray oldRuntime;
    QString package;
    QByteArray dataPlain, recentPlain;
};

}  // namespace

TEST_F(PasswordChange, ReencryptsBothFilesAndLeavesNothingBeside)
{
    store("Data.qlyi", dataPlain, "old");
    store("Recent Websites.qlyi", recentPlain, "old");

    QString error;
    ASSERT_TRUE(changeFilePassword(package, "old", "nëw €", &error)) << error.toStdString();
    EXPECT_EQ(opened("Data.qlyi", "nëw €"), dataPlain);
    EXPECT_EQ(opened("Recent Websites.qlyi", "nëw €"), recentPlain);
    EXPECT_TRUE(opened("Data.qlyi", "old").isEmpty());
    EXPECT_TRUE(opened("Recent Websites.qlyi", "old").isEmpty());
    EXPECT_EQ(packageItems(), QStringList({"Data.qlyi", "Recent Websites.qlyi"}));

    // A package without a recent-websites file changes as well and gains none.
    QFile::remove(path("Recent Websites.qlyi"));
    ASSERT_TRUE(changeFilePassword(package, "nëw €", "third", &error)) << error.toStdString();
    EXPECT_EQ(opened("Data.qlyi", "third"), dataPlain);
    EXPECT_EQ(packageItems(), QStringList({"Data.qlyi"}));
}

TEST_F(PasswordChange, RefusalsChangeNothing)
{
    store("Data.qlyi", dataPlain, "old");
    store("Recent Websites.qlyi", recentPlain, "old");
    const QByteArray data = raw("Data.qlyi"), recent = raw("Recent Websites.qlyi");
    const auto unchanged = [&] {
        EXPECT_EQ(raw("Data.qlyi"), data);
        EXPECT_EQ(raw("Recent Websites.qlyi"), recent);
        EXPECT_EQ(packageItems(), QStringList({"Data.qlyi", "Recent Websites.qlyi"}));
    };

    QString error;
    EXPECT_FALSE(changeFilePassword(package, "wrong", "new", &error));
    EXPECT_TRUE(error.contains("CURRENT PASSWORD INCORRECT.")) << error.toStdString();
    unchanged();

    // Nothing could ever decrypt a file encrypted with an empty password.
    error.clear();
    EXPECT_FALSE(changeFilePassword(package, "old", "", &error));
    EXPECT_FALSE(error.isEmpty());
    unchanged();

    // A data file whose plaintext is no archive (a wrong password that slipped past the
    // padding check looks the same) must not be re-encrypted.
    store("Data.qlyi", "not an archive", "old");
    const QByteArray garbage = raw("Data.qlyi");
    EXPECT_FALSE(changeFilePassword(package, "old", "new", &error));
    EXPECT_EQ(raw("Data.qlyi"), garbage);
    EXPECT_EQ(raw("Recent Websites.qlyi"), recent);
}

TEST_F(PasswordChange, RepeatingAnInterruptedChangeFinishesIt)
{
    // A change that stopped between its two files: the list is already under the new
    // password, the data file still under the old one.
    store("Data.qlyi", dataPlain, "old");
    store("Recent Websites.qlyi", recentPlain, "new");
    QString error;
    ASSERT_TRUE(changeFilePassword(package, "old", "new", &error)) << error.toStdString();
    EXPECT_EQ(opened("Data.qlyi", "new"), dataPlain);
    EXPECT_EQ(opened("Recent Websites.qlyi", "new"), recentPlain);

    // A list under some third password is neither lost nor left behind silently.
    store("Recent Websites.qlyi", recentPlain, "elsewhere");
    const QByteArray data = raw("Data.qlyi");
    EXPECT_FALSE(changeFilePassword(package, "new", "newer", &error));
    EXPECT_TRUE(error.contains("Recent Websites.qlyi")) << error.toStdString();
    EXPECT_EQ(raw("Data.qlyi"), data);
    EXPECT_EQ(opened("Recent Websites.qlyi", "elsewhere"), recentPlain);
}
