#include "store/PasswordArchive.h"

#include "platform/KeyedArchive.h"
#include "platform/KeyedArchiveWriter.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <limits>

using namespace quorly;

namespace {

using D = ArchiveValue::Dictionary;

ArchiveValue array(ArchiveValue::Array items) { return ArchiveValue::fromArray(std::move(items)); }

// Entries as a file collects them over the years: names outside ASCII and beyond the
// BMP, shared and empty values, long notes, every login option, keys of a later
// version, and integers and reals of every stored width. The same list every time.
EntryList lifelikeList(int count)
{
    uint32_t seed = 20240611;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    const QString browsers[] = {QStringLiteral("Default Browser"), QStringLiteral("Firefox"),
                                QStringLiteral("Chromium")};
    EntryList list;
    for (int i = 0; i < count; ++i) {
        Entry e;
        if (i % 17 == 0)
            e.setName(QStringLiteral("Zürich Kantonalbank %1").arg(i));
        else if (i % 29 == 0)
            e.setName(QStringLiteral("Café ☕ %1 \U0001F511").arg(i));
        else
            e.setName(QStringLiteral("Site %1 account").arg(next(100000)));
        e.setString(EntryKey::Button, QString());
        if (i % 9 != 0)
            e.setString(EntryKey::WebsiteURL, QStringLiteral("https://www.example-%1.com/login").arg(i));
        e.setString(EntryKey::WebsiteUserID, QStringLiteral("someone.%1@example.org").arg(next(5000)));
        if (i % 4 == 0)
            e.setString(EntryKey::WebsiteUserID2, QStringLiteral("customer-%1").arg(next(100000000)));
        e.setString(EntryKey::WebsitePassword,
                    i % 50 == 0 ? QStringLiteral("hunter2") : QStringLiteral("x7!Kp%1qZr$2mW").arg(next(1000000)));
        if (i % 3 == 0)
            e.setString(EntryKey::Notes, QString());
        else if (i % 41 == 0)
            e.setString(EntryKey::Notes, QStringLiteral("Recovery codes: ").repeated(20) + QString::number(i));
        else
            e.setString(EntryKey::Notes, QStringLiteral("Question: first pet.\nCustomer %1").arg(i * 7));
        e.setBool(EntryKey::UserIDTabSwitch, i % 2 == 0);
        e.setInteger(EntryKey::UserIDTabCount, next(3));
        e.setBool(EntryKey::PasswordTabSwitch, i % 5 != 0);
        e.setInteger(EntryKey::PasswordTabCount, 0);
        if (i % 7 == 0) {
            e.setInteger(EntryKey::UserIDOptions, next(4));
            e.setBool(EntryKey::PasswordEnter, true);
            e.setString(EntryKey::Browser, browsers[next(3)]);
            e.setString(EntryKey::BrowserBundleID, QStringLiteral("org.example.browser"));
            e.setBool(EntryKey::UseCWBrowser, false);
            e.setInteger(EntryKey::PasswordLength, 8 + next(25));
            e.setBool(EntryKey::IncludeSpecials, true);
        }
        if (i % 97 == 0) {
            e.set(QStringLiteral("futureReal"), 0.25 * i);
            e.setInteger(QStringLiteral("futureNegative"), -7 - i);
            e.setInteger(QStringLiteral("futureWide"), 5000000000LL + i);
            e.setInteger(QStringLiteral("futureWidest"), std::numeric_limits<qint64>::min() + i);
        }
        list.append(makeEntry(std::move(e)));
    }
    return list;
}

std::string sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}

}  // namespace

TEST(PasswordArchive, EntriesRoundTripWithTypesOrderAndUnknownKeys)
{
    Entry e;
    e.setString(EntryKey::Notes, QString::fromUtf8("line\nzw\xc3\xb6lf \xf0\x9f\x94\x91"));
    e.setName("Bank");
    e.setBool(EntryKey::PasswordTabSwitch, true);
    e.setInteger(EntryKey::PasswordLength, -3);
    e.set("futureKey", 0.25);
    e.setInteger("futureFlag", 1);
    e.setString(EntryKey::Notes, "changed");  // keeps its place at the front
    ASSERT_EQ(e.items().first().first, EntryKey::Notes);
    EntryList list;
    list.append(makeEntry(e));
    list.append(makeEntry());

    QString error;
    const auto back = entriesFromArchive(archiveFromEntries(list), &error);
    ASSERT_TRUE(back) << error.toStdString();
    ASSERT_EQ(back->size(), 2);
    // Item by item, so that a bool turned into 1 or a key moved would show.
    EXPECT_EQ(back->at(0)->items(), e.items());
    EXPECT_EQ(back->at(1)->size(), 0);
}

TEST(PasswordArchive, RejectsGraphsThatAreNotEntryLists)
{
    const ArchiveValue nested = ArchiveValue::fromDictionary(D{{"Path", ArchiveValue("x")}});
    const ArchiveValue bad[] = {
        ArchiveValue("not a list"),
        ArchiveValue::fromDictionary(D{}),
        array({ArchiveValue("a string where an entry belongs")}),
        array({ArchiveValue::fromDictionary(D{{"Path", ArchiveValue("A")}}),
               ArchiveValue::fromDictionary(D{{"Path", ArchiveValue("B")}, {"sub", nested}})}),
        array({ArchiveValue::fromDictionary(D{{"list", array({})}})}),
    };
    // Both readers: the graph's, and the one that reads a stored file straight into
    // entries.
    for (const ArchiveValue& root : bad) {
        QString error;
        EXPECT_FALSE(entriesFromArchive(root, &error));
        EXPECT_FALSE(error.isEmpty());
        QString streamed;
        EXPECT_FALSE(entriesFromKeyedArchive(KeyedArchive::encode(root), &streamed));
        EXPECT_EQ(streamed, error);
    }
    QString error;
    const auto empty = entriesFromArchive(array({}), &error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    const auto emptyFile = entriesFromKeyedArchive(KeyedArchive::encode(array({})), &error);
    ASSERT_TRUE(emptyFile);
    EXPECT_TRUE(emptyFile->isEmpty());
}

// Another program may store a key twice in one entry: it keeps its first place and its
// last value, in that entry only (an earlier value of a kind no entry holds does not
// count), and a null value is no value.
TEST(PasswordArchive, RepeatedKeysKeepTheirPlaceAndTakeTheLastValue)
{
    KeyedArchive::Writer writer;
    writer.openArray();
    const uint64_t first = writer.openDictionary();
    const uint64_t path = writer.string(EntryKey::Path), notes = writer.string(EntryKey::Notes);
    for (uint64_t key : {notes, path, notes, notes})
        writer.add(key);
    for (uint64_t value : {writer.string(u"old"), writer.string(u"A"), writer.integer(7), writer.string(u"new")})
        writer.add(value);
    writer.close();
    writer.add(first);
    const uint64_t emptyList = writer.openArray();  // a member of nothing yet
    writer.close();
    const uint64_t second = writer.openDictionary();
    const uint64_t url = writer.string(EntryKey::WebsiteURL);
    for (uint64_t key : {notes, path, url, url})
        writer.add(key);
    for (uint64_t value : {writer.string(u"B notes"), uint64_t(0) /* "$null" */, emptyList, writer.string(u"u")})
        writer.add(value);
    writer.close();
    writer.add(second);
    writer.close();

    QString error;
    const auto read = entriesFromKeyedArchive(writer.finish(), &error);
    ASSERT_TRUE(read) << error.toStdString();
    ASSERT_EQ(read->size(), 2);
    const QList<Entry::Item> expected = {{EntryKey::Notes, QStringLiteral("new")}, {EntryKey::Path, QStringLiteral("A")}};
    EXPECT_EQ(read->at(0)->items(), expected);
    const QList<Entry::Item> laterValue = {{EntryKey::Notes, QStringLiteral("B notes")},
                                           {EntryKey::WebsiteURL, QStringLiteral("u")}};
    EXPECT_EQ(read->at(1)->items(), laterValue);
}

TEST(PasswordArchive, TitlesRoundTripAndRejectOtherShapes)
{
    const QStringList titles = {"Bank", "", "Mail"};
    QString error;
    EXPECT_EQ(titlesFromArchive(archiveFromTitles(titles), &error), titles);
    EXPECT_FALSE(titlesFromArchive(array({ArchiveValue("a"), ArchiveValue::fromInteger(1)}), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(titlesFromArchive(ArchiveValue("a"), &error));
    for (const ArchiveValue& root : {array({ArchiveValue("a"), ArchiveValue::fromInteger(1)}), ArchiveValue("a"),
                                     array({array({})}), ArchiveValue::fromDictionary(D{})}) {
        QString streamed;
        EXPECT_FALSE(titlesFromKeyedArchive(KeyedArchive::encode(root), &streamed));
        EXPECT_FALSE(streamed.isEmpty());
    }
}

// The bytes every stored file is written with must never change: Quorly for Mac OS X
// and every earlier version read them, and a byte moved would be a changed file to every
// folder synchroniser. The digests were taken from this writer's output when it was known
// to match the platform's layout; lists of 300 and 8000 entries cover 16- and 32-bit
// object references and 32-bit offsets.
TEST(PasswordArchive, WritesTheSameBytesAsEver)
{
    const QByteArray small = keyedArchiveFromEntries(lifelikeList(300));
    EXPECT_EQ(sha256(small), "0aa2a107456475615cc8c99949b2e7286d0ad1f102eb40d81b64e3ef76e5e1e0");
    const EntryList written = lifelikeList(8000);
    const QByteArray large = keyedArchiveFromEntries(written);
    EXPECT_EQ(sha256(large), "956809e20e341308955571b6879449758a57f1148364c4e2b05de8083ebafac4");
    // A save writes the file as the archive is made, never holding it whole: the same
    // bytes, and a full disk is a failure that says why.
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(writeKeyedArchiveOfEntries(written, file.handle()));
    file.seek(0);
    EXPECT_EQ(sha256(file.readAll()), sha256(large));
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full >= 0) {
        errno = 0;
        EXPECT_FALSE(writeKeyedArchiveOfEntries(written, full));
        EXPECT_EQ(errno, ENOSPC);
        ::close(full);
    }
    const QStringList titles = {QStringLiteral("Bank"), QStringLiteral("Zürich Kantonalbank 17"), QString(),
                                QStringLiteral("Café ☕ 29 \U0001F511"), QStringLiteral("Mail")};
    EXPECT_EQ(sha256(keyedArchiveFromTitles(titles)), "118a2b7043edeebfcd18e4c018a019769d03744f04e08092337e852bba0acd4b");
    EXPECT_EQ(sha256(keyedArchiveFromEntries(EntryList())), "6944bcf3807d076b26a852340d8fe3c2e241e126bd1d2ebbf5b8fb1e45a709dc");

    // And they read back to the very entries, key order and value kinds included.
    QString error;
    const auto read = entriesFromKeyedArchive(large, &error);
    ASSERT_TRUE(read) << error.toStdString();
    ASSERT_EQ(read->size(), written.size());
    for (int i = 0; i < written.size(); ++i)
        ASSERT_EQ(read->at(i)->items(), written.at(i)->items()) << i;
    EXPECT_EQ(titlesFromKeyedArchive(keyedArchiveFromTitles(titles), &error), titles);
}
