// A document among the other writers of its package: another document on the same
// file, a password change made elsewhere, files it cannot read, and what writers that
// died left behind. Nothing any of them stored may be lost by the document's saves.
#include "store/DocumentTestSupport.h"

#include "login/WebsitePasswordManager.h"
#include "store/PackageLock.h"
#include "store/PackageReader.h"
#include "store/PasswordChange.h"
#include "store/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorly;
using namespace quorly::test;

namespace {

class DocumentWriters : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch();
        dir_ = std::make_unique<QTemporaryDir>(scratch().root() + QStringLiteral("/writersXXXXXX"));
        package = copyFixturePackage(QStringLiteral("current.qly"), dir_->path() + QStringLiteral("/w.qly"));
    }

    QStringList storedNames(const QString& password = kFixturePassword) const
    {
        QStringList names;
        for (const EntryRef& e : readPackage(package, password).entries)
            names << e->name();
        return names;
    }
    EntryRef stored(const QString& name) const
    {
        for (const EntryRef& e : readPackage(package, kFixturePassword).entries) {
            if (e->name() == name)
                return e;
        }
        return nullptr;
    }
    static void setPassword(Opened& doc, const QString& name, const QString& password)
    {
        doc->passwordArray().entryWithName(name)->setString(EntryKey::WebsitePassword, password);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QString package;  // Bank, Café Zürich ☕, mail
};

}  // namespace

TEST_F(DocumentWriters, ChangesOfTwoDocumentsBothReachTheFile)
{
    Opened first = openDocument(package);
    Opened second = openDocument(package);
    const EntryRef cafe = second->passwordArray().at(1);

    first->passwordArray().append(makeEntry(entry(QStringLiteral("From first"))));
    ASSERT_TRUE(first->KTTableViewArrayChanged());
    second->passwordArray().append(makeEntry(entry(QStringLiteral("From second"))));
    ASSERT_TRUE(second->KTTableViewArrayChanged());
    first->passwordArray().removeAt(first->passwordArray().indexOf(first->passwordArray().entryWithName("Bank")));
    ASSERT_TRUE(first->KTTableViewArrayChanged());
    setPassword(second, QStringLiteral("mail"), QStringLiteral("changed by second"));
    ASSERT_TRUE(second->KTTableViewArrayChanged());

    EXPECT_EQ(storedNames(), (QStringList{QStringLiteral("Caf\u00e9 Z\u00fcrich \u2615"), QStringLiteral("From first"),
                                          QStringLiteral("From second"), QStringLiteral("mail")}));
    EXPECT_EQ(stored(QStringLiteral("mail"))->string(EntryKey::WebsitePassword), QStringLiteral("changed by second"));
    // The second window shows what it stored; an entry neither touched is the same
    // object as before, so a selection or the current entry still holds.
    EXPECT_EQ(namesOf(second->passwordArray()), storedNames());
    EXPECT_EQ(second->passwordArray().at(0), cafe);
    EXPECT_TRUE(second.window->messages.isEmpty());
    EXPECT_FALSE(second->fileChanged());

    first->checkForUpdates();
    EXPECT_EQ(namesOf(first->passwordArray()), storedNames());
}

TEST_F(DocumentWriters, OnlyAnEntryBothChangedIsAskedAboutAndTheDefaultKeepsBoth)
{
    Opened first = openDocument(package);
    Opened second = openDocument(package);

    setPassword(first, QStringLiteral("Bank"), QStringLiteral("first"));
    ASSERT_TRUE(first->KTTableViewArrayChanged());
    setPassword(second, QStringLiteral("Bank"), QStringLiteral("second"));
    ASSERT_TRUE(second->KTTableViewArrayChanged());  // answered with the default button
    ASSERT_EQ(second.window->messages.size(), 1);
    EXPECT_TRUE(second.window->messages.first().startsWith(QStringLiteral("\u201cBank\u201d was changed by another")));
    EXPECT_EQ(stored(QStringLiteral("Bank"))->string(EntryKey::WebsitePassword), QStringLiteral("first"));
    EXPECT_EQ(stored(QStringLiteral("Bank (CONFLICTED)"))->string(EntryKey::WebsitePassword),
              QStringLiteral("second"));

    // "Use Mine".
    first->checkForUpdates();
    second.window->messages.clear();
    setPassword(first, QStringLiteral("mail"), QStringLiteral("first"));
    ASSERT_TRUE(first->KTTableViewArrayChanged());
    setPassword(second, QStringLiteral("mail"), QStringLiteral("second"));
    second.window->answers = {0};
    ASSERT_TRUE(second->KTTableViewArrayChanged());
    EXPECT_EQ(second.window->messages.size(), 1);
    EXPECT_EQ(stored(QStringLiteral("mail"))->string(EntryKey::WebsitePassword), QStringLiteral("second"));
    EXPECT_FALSE(stored(QStringLiteral("mail (CONFLICTED)")));

    // Deleted here while changed there: the changed entry stays unless the user says so.
    first->checkForUpdates();
    second.window->messages.clear();
    setPassword(first, QStringLiteral("mail"), QStringLiteral("first again"));
    ASSERT_TRUE(first->KTTableViewArrayChanged());
    EntryList& list = second->passwordArray();
    list.removeAt(list.indexOf(list.entryWithName(QStringLiteral("mail"))));
    ASSERT_TRUE(second->KTTableViewArrayChanged());
    EXPECT_EQ(second.window->messages.size(), 1);
    EXPECT_EQ(stored(QStringLiteral("mail"))->string(EntryKey::WebsitePassword), QStringLiteral("first again"));
}

TEST_F(DocumentWriters, AfterAPasswordChangeElsewhereNothingIsWrittenUnderTheOldPassword)
{
    Opened doc = openDocument(package);
    ASSERT_TRUE(changeFilePassword(package, kFixturePassword, QStringLiteral("new one")));
    const auto files = snapshot(package);

    doc->passwordArray().append(makeEntry(entry(QStringLiteral("Lost?"))));
    EXPECT_FALSE(doc->KTTableViewArrayChanged());
    ASSERT_EQ(doc.window->messages.size(), 1);
    EXPECT_TRUE(doc.window->messages.first().contains(QStringLiteral("cannot be read with the password")));
    EXPECT_EQ(doc->failedSaves(), 1);
    doc->wpm()->addRecentWebsiteMenuItemWithTitle(QStringLiteral("mail"));

    // Both files stay as the password change left them, under the new password only.
    EXPECT_EQ(snapshot(package), files);
    EXPECT_EQ(readPackage(package, QStringLiteral("new one")).status, PackageContents::Status::Ok);
    EXPECT_EQ(readPackage(package, kFixturePassword).status, PackageContents::Status::WrongPassword);
    EXPECT_TRUE(doc->passwordArray().entryWithName(QStringLiteral("Lost?")));  // still shown
}

TEST_F(DocumentWriters, ARecentWebsitesFileItCannotReadIsKept)
{
    const QString titles = package + QStringLiteral("/Recent Websites.qlyi");
    writeTitlesFile(titles, {QStringLiteral("under another password")}, QStringLiteral("other"));
    const QByteArray before = snapshot(package).value(QStringLiteral("Recent Websites.qlyi"));

    Opened doc = openDocument(package);
    ASSERT_TRUE(doc->isOpen());
    EXPECT_TRUE(doc->wpm()->recentWebsiteTitles().isEmpty());
    doc->wpm()->addRecentWebsiteMenuItemWithTitle(QStringLiteral("mail"));
    doc->checkForUpdates();
    EXPECT_EQ(snapshot(package).value(QStringLiteral("Recent Websites.qlyi")), before);
}

TEST_F(DocumentWriters, AFileOfNoWholeBlocksIsDamagedNotAWrongPassword)
{
    const auto damage = [this](const QByteArray& content) {
        QFile data(package + QStringLiteral("/Data.qlyi"));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly | QIODevice::Truncate));
        data.write(content);
    };
    // Damaged while open: told, and the list shown may be stored over it, since no
    // password can read what is there.
    Opened open = openDocument(package);
    damage(QByteArray(17, 'x'));
    open->checkForUpdates();
    ASSERT_EQ(open.window->messages.size(), 1);
    EXPECT_TRUE(open.window->messages.first().contains(QStringLiteral("damaged")));
    EXPECT_TRUE(open->KTTableViewArrayChanged());
    EXPECT_EQ(storedNames().size(), 3);

    for (const QByteArray& content : {QByteArray(), QByteArray(17, 'x')}) {
        damage(content);
        Opened doc = openDocument(package, {kFixturePassword, kFixturePassword});
        EXPECT_EQ(doc->openFailure(), MyDocument::OpenFailure::Damaged);
        EXPECT_EQ(doc.window->passwordPrompts.size(), 1);  // not asked again and again
        ASSERT_EQ(doc.window->messages.size(), 1);
        EXPECT_TRUE(doc.window->messages.first().contains(QStringLiteral("damaged")));
    }
}

TEST_F(DocumentWriters, TheWriterLockIsTheFoldersAndClearsWhatDeadWritersLeft)
{
    // Another path to the same package shares its lock.
    const QString link = dir_->path() + QStringLiteral("/link.qly");
    ASSERT_EQ(::symlink(QFile::encodeName(package).constData(), QFile::encodeName(link).constData()), 0);
    std::optional<PackageLock> held = PackageLock::acquire(package);
    ASSERT_TRUE(held && held->isExclusive());
    QString error;
    EXPECT_FALSE(PackageLock::acquire(link, &error, std::chrono::milliseconds(50)));
    EXPECT_TRUE(error.contains(QStringLiteral("being changed by another program")));

    // A document waits for the lock, and its nested steps share one hold.
    Opened doc = openDocument(package);
    held.reset();
    PackageWriterLock::Hold outer = doc->holdWriterLock();
    ASSERT_TRUE(outer);
    doc->passwordArray().append(makeEntry(entry(QStringLiteral("Nested"))));
    EXPECT_TRUE(doc->KTTableViewArrayChanged());
    EXPECT_FALSE(PackageLock::acquire(package, nullptr, std::chrono::milliseconds(10)));
    outer.release();
    EXPECT_TRUE(PackageLock::acquire(package));

    // Temporaries of killed saves and password changes go with the next lock; anything
    // else stays.
    const QStringList dead = {QStringLiteral(".Data.qlyi.Ab12Cd"), QStringLiteral(".Recent Websites.qlyi.x1Y2z3"),
                              QStringLiteral(".Data.qlyi.passwd"), QStringLiteral("..Data.qlyi.passwd.QwErTy")};
    const QStringList others = {QStringLiteral("Database.qlyi"), QStringLiteral(".Data.qlyi"),
                                QStringLiteral("Data 2.qlyi.note")};
    for (const QString& name : dead + others) {
        QFile file(package + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(PackageLock::acquire(package));
    for (const QString& name : dead)
        EXPECT_FALSE(QFile::exists(package + QLatin1Char('/') + name)) << name.toStdString();
    for (const QString& name : others)
        EXPECT_TRUE(QFile::exists(package + QLatin1Char('/') + name)) << name.toStdString();

    // Private folders: a live one (this document's) stays, a dead one's goes.
    const QString deadFolder = scratch().runtimeDir() + QStringLiteral("/.QLY.deadbeef");
    QDir().mkpath(deadFolder);
    TempFolder::removeStale();
    EXPECT_FALSE(QFileInfo::exists(deadFolder));
    EXPECT_TRUE(QFileInfo::exists(doc->tempDir()));
}
