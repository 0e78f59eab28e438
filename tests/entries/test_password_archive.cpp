#include "store/PasswordArchive.h"

#include <gtest/gtest.h>

using namespace quorly;

namespace {

using D = ArchiveValue::Dictionary;

ArchiveValue array(ArchiveValue::Array items) { return ArchiveValue::fromArray(std::move(items)); }

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
    for (const ArchiveValue& root : bad) {
        QString error;
        EXPECT_FALSE(entriesFromArchive(root, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    const auto empty = entriesFromArchive(array({}), &error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST(PasswordArchive, TitlesRoundTripAndRejectOtherShapes)
{
    const QStringList titles = {"Bank", "", "Mail"};
    QString error;
    EXPECT_EQ(titlesFromArchive(archiveFromTitles(titles), &error), titles);
    EXPECT_FALSE(titlesFromArchive(array({ArchiveValue("a"), ArchiveValue::fromInteger(1)}), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(titlesFromArchive(ArchiveValue("a"), &error));
}
