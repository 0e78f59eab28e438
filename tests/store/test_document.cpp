#include "store/DocumentTestSupport.h"

#include "app/Preferences.h"
#include "login/WebsitePasswordManager.h"
#include "store/CipherEngine.h"
#include "store/FileStamp.h"
#include "store/Globals.h"
#include "store/NewPasswordFile.h"
#include "store/PackageReader.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace quorly;
using namespace quorly::test;

namespace {

const QString kSaveFailed =
    QStringLiteral("UNKNOWN ERROR: Your changes will show in the window, but be gone when you open the file.");

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch();
        dir_ = std::make_unique<QTemporaryDir>(scratch().root() + QStringLiteral("/pkgXXXXXX"));
        clearGFramis();
    }

    QString path(const QString& name) const { return dir_->path() + QLatin1Char('/') + name; }

    static Opened open(const QString& package, QStringList passwords = {kFixturePassword})
    {
        return openDocument(package, std::move(passwords));
    }

    // Outside a load or save, no plaintext may exist anywhere.
    void expectNoPlaintext() const
    {
        EXPECT_EQ(ScratchEnvironment::plaintextFilesBelow(scratch().root()), QStringList());
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

TEST_F(DocumentTest, OpensCurrentPackageAndClosesCleanly)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    const QStringList before = scratch().tempFolders();
    Opened doc = open(package);
    ASSERT_TRUE(doc->isOpen());
    EXPECT_TRUE(doc.window->shown);
    EXPECT_TRUE(doc.window->writeable);
    EXPECT_EQ(doc.window->passwordPrompts, QStringList{QStringLiteral("Enter Password:")});
    EXPECT_EQ(doc->passwordArray().size(), 3);
    EXPECT_EQ(doc->wpm()->recentWebsiteTitles(), (QStringList{QStringLiteral("mail"), QStringLiteral("Bank")}));
    EXPECT_EQ(Preferences::string(PrefKey::LastPWFile), package);
    EXPECT_EQ(scratch().tempFolders().size(), before.size() + 1);
    expectNoPlaintext();

    // Closing forgets every process-wide reference to the document.
    gWebsiteDocument = doc.document.get();
    gWPM = doc->wpm();
    gWebsiteItem = doc->passwordArray().at(0);
    doc->close();
    EXPECT_EQ(doc->state(), MyDocument::State::Closed);
    EXPECT_EQ(doc.window->closes, 1);
    EXPECT_TRUE(gWebsiteDocument.isNull());
    EXPECT_TRUE(gWPM.isNull());
    EXPECT_EQ(gWebsiteItem, nullptr);
    EXPECT_EQ(scratch().tempFolders(), before);
    EXPECT_FALSE(doc->KTTableViewArrayChanged());  // a closed document writes nothing
}

TEST_F(DocumentTest, PasswordQuestionOrder)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    const auto files = snapshot(package);

    Opened retried = open(package, {QStringLiteral("wrong"), kFixturePassword});
    EXPECT_TRUE(retried->isOpen());
    EXPECT_EQ(retried.window->passwordPrompts,
              (QStringList{QStringLiteral("Enter Password:"), QStringLiteral("PASSWORD INCORRECT. Please try again.")}));
    retried->close();

    // Cancel: the document closes, the package is untouched, no temp folder stays.
    const QStringList folders = scratch().tempFolders();
    Opened cancelled = open(package, {QStringLiteral("wrong")});
    EXPECT_EQ(cancelled->state(), MyDocument::State::Closed);
    EXPECT_EQ(cancelled->openFailure(), MyDocument::OpenFailure::Cancelled);
    EXPECT_EQ(cancelled.window->passwordPrompts.size(), 2);
    EXPECT_EQ(scratch().tempFolders(), folders);

    // A password handed over from creation is used once, without a question; the
    // keychain is not consulted for it.
    gFramis = kFixturePassword;
    bool keychainAsked = false;
    auto handed = std::make_unique<MyDocument>(package);
    ScriptedWindow window;
    handed->setWindow(&window);
    handed->setKeychainLookup([&](const QString&) {
        keychainAsked = true;
        return KeychainLookup{};
    });
    EXPECT_TRUE(handed->openDatabase());
    EXPECT_TRUE(window.passwordPrompts.isEmpty());
    EXPECT_FALSE(keychainAsked);
    EXPECT_FALSE(handed->passwordInKeychain());
    EXPECT_FALSE(gFramis.has_value());
    handed->close();

    // A keychain password that opens the file asks nothing and sets the check mark.
    MyDocument fromKeychain(package);
    ScriptedWindow window2;
    fromKeychain.setWindow(&window2);
    fromKeychain.setKeychainLookup([&](const QString& asked) {
        EXPECT_EQ(asked, package);
        return KeychainLookup{KeychainStatus::Found, kFixturePassword, {}};
    });
    EXPECT_TRUE(fromKeychain.openDatabase());
    EXPECT_TRUE(window2.passwordPrompts.isEmpty());
    EXPECT_TRUE(fromKeychain.passwordInKeychain());
    fromKeychain.close();

    EXPECT_EQ(snapshot(package).value(QStringLiteral("Data.qlyi")), files.value(QStringLiteral("Data.qlyi")));
}

TEST_F(DocumentTest, RefusesWhatIsNotAReadablePasswordFile)
{
    const QStringList folders = scratch().tempFolders();
    QDir().mkpath(path(QStringLiteral("empty.qly")));
    Opened none = open(path(QStringLiteral("empty.qly")));
    EXPECT_EQ(none->openFailure(), MyDocument::OpenFailure::NotAQuorlyFile);
    EXPECT_EQ(none.window->messages, QStringList{QStringLiteral("This is not a Quorly file.")});
    EXPECT_TRUE(none.window->passwordPrompts.isEmpty());
    EXPECT_EQ(none.window->closes, 1);

    // Decrypts, but holds no archive: told, closed, nothing written.
    const QString damaged = copyFixturePackage(QStringLiteral("damaged.qly"), path(QStringLiteral("d.qly")));
    const auto files = snapshot(damaged);
    Opened bad = open(damaged);
    EXPECT_EQ(bad->openFailure(), MyDocument::OpenFailure::Damaged);
    EXPECT_EQ(bad.window->messages.size(), 1);
    EXPECT_FALSE(bad.window->shown);
    EXPECT_EQ(snapshot(damaged), files);
    EXPECT_EQ(scratch().tempFolders(), folders);
    expectNoPlaintext();
}

TEST_F(DocumentTest, MigratesPre20Package)
{
    const QString package = copyFixturePackage(QStringLiteral("pre20.qly"), path(QStringLiteral("old.qly")));
    Opened doc = open(package);
    ASSERT_TRUE(doc->isOpen());
    EXPECT_FALSE(doc->pre20File());
    EXPECT_EQ(doc->dataPath(), package + QStringLiteral("/Data.qlyi"));
    EXPECT_EQ(QDir(package).entryList(QDir::Files),
              (QStringList{QStringLiteral("Data.qlyi"), QStringLiteral("Recent Websites.qlyi")}));
    const PackageContents stored = readPackage(package, kFixturePassword);
    ASSERT_EQ(stored.status, PackageContents::Status::Ok) << stored.message.toStdString();
    EXPECT_EQ(stored.format, PackageFormat::Current);
    ASSERT_EQ(stored.entries.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(*stored.entries[i], *doc->passwordArray().at(i));
    EXPECT_EQ(stored.entries[1]->string(QStringLiteral("futureOptionFromANewerVersion")),
              QStringLiteral("kept as it is"));
    EXPECT_EQ(stored.recentWebsites, (QStringList{QStringLiteral("mail"), QStringLiteral("Bank")}));
    // Its own save does not look like a change.
    EXPECT_FALSE(doc->fileChanged());
    expectNoPlaintext();

    // With both formats present the current files win and the old ones are left alone.
    const QString both = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("both.qly")));
    QFile::copy(QStringLiteral(QUORLY_TEST_DATA_DIR "/packages/pre20.qly/Data.qlye"), both + QStringLiteral("/Data.qlye"));
    Opened current = open(both);
    EXPECT_FALSE(current->pre20File());
    EXPECT_TRUE(QFileInfo::exists(both + QStringLiteral("/Data.qlye")));
}

TEST_F(DocumentTest, SavesAndRecordsDatesAsItsOwnWrites)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened doc = open(package);
    int reloads = 0;
    QObject::connect(doc.document.get(), &MyDocument::entriesReloaded, [&] { ++reloads; });

    doc->passwordArray().append(makeEntry(entry(QStringLiteral("Aardvark"), QStringLiteral("pw"))));
    ASSERT_TRUE(doc->KTTableViewArrayChanged());
    EXPECT_EQ(doc->passwordArray().at(0)->name(), QStringLiteral("Aardvark"));  // sorted
    EXPECT_EQ(doc->lastDataModificationTime(), fileStamp(package + QStringLiteral("/Data.qlyi"), false));
    EXPECT_FALSE(doc->fileChanged());
    const auto stored = readEntriesFile(package + QStringLiteral("/Data.qlyi"), kFixturePassword);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 4);

    // The recent-websites save records nothing: the next check reads that file once.
    doc->wpm()->addRecentWebsiteMenuItemWithTitle(QStringLiteral("Aardvark"));
    const auto recentBefore = doc->lastRecentWebsitesModificationTime();
    doc->checkForUpdates();
    EXPECT_EQ(reloads, 0);
    EXPECT_NE(doc->lastRecentWebsitesModificationTime(), recentBefore);
    const auto recentAfter = doc->lastRecentWebsitesModificationTime();
    doc->checkForUpdates();
    EXPECT_EQ(doc->lastRecentWebsitesModificationTime(), recentAfter);
    EXPECT_EQ(doc->wpm()->recentWebsiteTitles().first(), QStringLiteral("Aardvark"));

    // Touching the data file reloads the same entries.
    const QByteArray data = QFile::encodeName(package + QStringLiteral("/Data.qlyi"));
    struct timespec times[2] = {{0, UTIME_NOW}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, data.constData(), times, 0), 0);
    EXPECT_TRUE(doc->fileChanged());
    doc->readPasswordFileDataIfChanged();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(doc->passwordArray().size(), 4);
    EXPECT_FALSE(doc->fileChanged());
    expectNoPlaintext();
}

TEST_F(DocumentTest, MergesCopiesPlacedBesideTheMainFiles)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened doc = open(package);
    const EntryRef bank = doc->passwordArray().entryWithName(QStringLiteral("Bank"));
    ASSERT_TRUE(bank);
    Entry changedBank = *bank;
    changedBank.setString(EntryKey::WebsitePassword, QStringLiteral("changed elsewhere"));

    writeEntriesFile(package + QStringLiteral("/Data 2.qlyi"),
                     {*bank, changedBank, entry(QStringLiteral("New one"))}, kFixturePassword);
    writeTitlesFile(package + QStringLiteral("/Recent Websites 2.qlyi"),
                    {QStringLiteral("New one"), QStringLiteral("mail")}, kFixturePassword);
    QFile::copy(package + QStringLiteral("/Data.qlyi"), package + QStringLiteral("/Database.qlyi"));
    writeEntriesFile(package + QStringLiteral("/Data 3.qlyi"), {entry(QStringLiteral("Other"))}, QStringLiteral("other"));
    QDir().mkpath(package + QStringLiteral("/Data 4.qlyi"));
    const QByteArray other = snapshot(package).value(QStringLiteral("Data 3.qlyi"));

    doc->checkForUpdates();
    EXPECT_EQ(namesOf(doc->passwordArray()),
              (QStringList{QStringLiteral("Bank"), QStringLiteral("Bank (CONFLICTED)"),
                           QStringLiteral("Caf\u00e9 Z\u00fcrich \u2615"), QStringLiteral("New one"), QStringLiteral("mail")}));
    EXPECT_EQ(doc->wpm()->recentWebsiteTitles().first(), QStringLiteral("New one"));
    EXPECT_EQ(doc->wpm()->recentWebsiteTitles().count(QStringLiteral("mail")), 1);
    EXPECT_FALSE(QFileInfo::exists(package + QStringLiteral("/Data 2.qlyi")));
    EXPECT_FALSE(QFileInfo::exists(package + QStringLiteral("/Recent Websites 2.qlyi")));
    EXPECT_TRUE(QFileInfo::exists(package + QStringLiteral("/Database.qlyi")));
    EXPECT_TRUE(QFileInfo(package + QStringLiteral("/Data 4.qlyi")).isDir());
    EXPECT_EQ(snapshot(package).value(QStringLiteral("Data 3.qlyi")), other);
    EXPECT_EQ(readEntriesFile(package + QStringLiteral("/Data.qlyi"), kFixturePassword)->size(), 5);

    // The unreadable copy is not read again while it stays the same: give it readable
    // bytes of the same length in place, keeping its date, and it is still left alone...
    const QString copy = package + QStringLiteral("/Data 3.qlyi");
    const auto stamp = fileStamp(copy, false);
    writeEntriesFile(path(QStringLiteral("readable")), {entry(QStringLiteral("Other"))}, kFixturePassword);
    QFile readable(path(QStringLiteral("readable")));
    readable.open(QIODevice::ReadOnly);
    QFile inPlace(copy);
    ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite));
    inPlace.write(readable.readAll());
    inPlace.close();
    const QByteArray native = QFile::encodeName(copy);
    struct timespec times[2] = {{0, UTIME_OMIT}, {stamp->seconds, stamp->nanoseconds}};
    ::utimensat(AT_FDCWD, native.constData(), times, 0);
    ASSERT_EQ(fileStamp(copy, false), stamp);
    doc->checkForUpdates();
    EXPECT_TRUE(QFileInfo::exists(copy));
    // ...until it changes.
    struct timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    ::utimensat(AT_FDCWD, native.constData(), now, 0);
    doc->checkForUpdates();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_TRUE(doc->passwordArray().entryWithName(QStringLiteral("Other")));
    expectNoPlaintext();
}

TEST_F(DocumentTest, SecondDocumentsChangeReachesTheFirst)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened first = open(package);
    Opened second = open(package);
    second->passwordArray().append(makeEntry(entry(QStringLiteral("From second"))));
    ASSERT_TRUE(second->KTTableViewArrayChanged());
    EXPECT_TRUE(first->fileChanged());
    first->checkForUpdates();
    EXPECT_TRUE(first->passwordArray().entryWithName(QStringLiteral("From second")));
    EXPECT_GE(first.window->reloads, 1);
    EXPECT_TRUE(first.window->messages.isEmpty());
}

TEST_F(DocumentTest, FailedSaveKeepsStoredFileAndSaysSo)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened doc = open(package);
    const auto stampBefore = doc->lastDataModificationTime();
    const QString moved = path(QStringLiteral("moved.qly"));
    const auto storedBefore = snapshot(package);

    // The package folder's path now names a plain file: nothing can be written there.
    ASSERT_TRUE(QDir().rename(package, moved));
    QFile blocker(package);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    doc->passwordArray().append(makeEntry(entry(QStringLiteral("Lost"))));
    EXPECT_FALSE(doc->KTTableViewArrayChanged());
    // The user's text, with the system's reason after it.
    ASSERT_EQ(doc.window->messages.size(), 1);
    EXPECT_TRUE(doc.window->messages.first().startsWith(kSaveFailed));
    EXPECT_TRUE(doc.window->messages.first().contains(QStringLiteral("Not a directory")));
    EXPECT_TRUE(doc->passwordArray().entryWithName(QStringLiteral("Lost")));  // the window keeps it
    EXPECT_EQ(doc->lastDataModificationTime(), stampBefore);
    expectNoPlaintext();

    QFile::remove(package);
    ASSERT_TRUE(QDir().rename(moved, package));
    EXPECT_EQ(snapshot(package), storedBefore);
    doc.window->reloads = 0;
    doc->checkForUpdates();  // the stored file did not change: no reload
    EXPECT_EQ(doc.window->reloads, 0);
}

TEST_F(DocumentTest, FailedReloadKeepsTheListAndTellsOnce)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened doc = open(package);
    const QStringList names = namesOf(doc->passwordArray());
    const QString data = package + QStringLiteral("/Data.qlyi");

    // Another instance changed the password.
    writeEntriesFile(data, {entry(QStringLiteral("Elsewhere"))}, QStringLiteral("new password"));
    doc->checkForUpdates();
    doc->checkForUpdates();
    EXPECT_EQ(namesOf(doc->passwordArray()), names);
    EXPECT_EQ(doc.window->messages.size(), 1);
    EXPECT_TRUE(doc->fileChanged());  // so an edit's save still asks first

    // The file disappears: still the same list, no second message.
    QFile::remove(data);
    doc->checkForUpdates();
    doc->readPasswordFileDataIfChanged();
    EXPECT_EQ(namesOf(doc->passwordArray()), names);
    EXPECT_EQ(doc.window->messages.size(), 1);
    expectNoPlaintext();

    // A readable file comes back: loaded as usual.
    writeEntriesFile(data, {entry(QStringLiteral("Back"))}, kFixturePassword);
    doc->checkForUpdates();
    EXPECT_EQ(namesOf(doc->passwordArray()), QStringList{QStringLiteral("Back")});
}

TEST_F(DocumentTest, CreatesNewPackage)
{
    const QString package = path(QStringLiteral("New.qly"));
    QString error;
    ASSERT_TRUE(createPasswordFile(package, QStringLiteral("pässwörd"), &error)) << error.toStdString();
    EXPECT_EQ(QDir(package).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Data.qlyi")});
    EXPECT_EQ(readEntriesFile(package + QStringLiteral("/Data.qlyi"), QStringLiteral("pässwörd"))->size(), 0);
    EXPECT_FALSE(createPasswordFile(package, QStringLiteral("x"), &error));  // never over an existing one
    EXPECT_FALSE(error.isEmpty());
    expectNoPlaintext();

    gFramis = QStringLiteral("pässwörd");
    Opened doc = open(package, {});
    EXPECT_TRUE(doc->isOpen());
    EXPECT_TRUE(QFileInfo::exists(package + QStringLiteral("/Recent Websites.qlyi")));
}

TEST_F(DocumentTest, RecentWebsiteTitlesKeepTwentyNewestFirst)
{
    const QString package = copyFixturePackage(QStringLiteral("current.qly"), path(QStringLiteral("c.qly")));
    Opened doc = open(package);
    WebsitePasswordManager* wpm = doc->wpm();
    for (int i = 1; i <= 21; ++i)
        wpm->addRecentWebsiteMenuItemWithTitle(QStringLiteral("site %1").arg(i));
    ASSERT_EQ(wpm->recentWebsiteTitles().size(), 20);
    EXPECT_EQ(wpm->recentWebsiteTitles().first(), QStringLiteral("site 21"));
    EXPECT_EQ(wpm->recentWebsiteTitles().last(), QStringLiteral("site 2"));
    wpm->addRecentWebsiteMenuItemWithTitle(QStringLiteral("site 10"));
    EXPECT_EQ(wpm->recentWebsiteTitles().size(), 20);
    EXPECT_EQ(wpm->recentWebsiteTitles().first(), QStringLiteral("site 10"));
    EXPECT_EQ(wpm->recentWebsiteTitles().count(QStringLiteral("site 10")), 1);
    EXPECT_EQ(readPackage(package, kFixturePassword).recentWebsites, wpm->recentWebsiteTitles());
}

}  // namespace
