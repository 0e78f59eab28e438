// The rules of dragging entries between password files: what a drag carries, which
// drops are taken, and the names the dropped entries get.
#include "entries/EntryDrag.h"
#include "platform/BinaryPlistWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

Entry named(const QString& name)
{
    Entry e;
    e.setName(name);
    return e;
}

TEST(EntryDrag, ThePropertyListCarriesEveryKeyWithItsType)
{
    Entry bank = named("Bank");
    bank.setString(EntryKey::WebsitePassword, "p\u00e4ss \U0001F511");
    bank.setBool(EntryKey::PasswordTabSwitch, true);
    bank.setInteger(EntryKey::UserIDTabCount, -3);
    bank.setInteger("big", (qint64(1) << 53) + 1);
    bank.set("ratio", EntryValue(0.25));
    bank.setString(EntryKey::Notes, "");
    const QList<EntryRef> dragged = {makeEntry(bank), makeEntry(named("Mail"))};

    const std::optional<QList<Entry>> back = EntryDrag::entriesFromPropertyList(EntryDrag::itemsPropertyList(dragged));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2);
    EXPECT_EQ(back->at(0).items(), bank.items());  // keys, order and types
    EXPECT_EQ(back->at(1).name(), "Mail");
    EXPECT_TRUE(EntryDrag::entriesFromPropertyList(EntryDrag::itemsPropertyList({})).value().isEmpty());
}

TEST(EntryDrag, AnythingButEntriesIsRefusedWhole)
{
    const auto refused = [](const QByteArray& bytes) { return !EntryDrag::entriesFromPropertyList(bytes); };
    EXPECT_TRUE(refused(""));
    EXPECT_TRUE(refused("Bank\tsecret"));
    EXPECT_TRUE(refused(EntryDrag::itemsPropertyList({makeEntry(named("Bank"))}).chopped(3)));

    BinaryPlist::Writer dictionaryAtTop;
    const uint64_t top = dictionaryAtTop.beginContainer();
    const uint64_t pair[] = {dictionaryAtTop.string("Path"), dictionaryAtTop.string("Bank")};
    dictionaryAtTop.setDictionary(top, pair);
    EXPECT_TRUE(refused(dictionaryAtTop.finish(top)));

    // One good entry and one whose value is an array: nothing is taken.
    BinaryPlist::Writer mixed;
    const uint64_t array = mixed.beginContainer();
    const uint64_t good = mixed.beginContainer();
    const uint64_t goodPair[] = {mixed.string("Path"), mixed.string("Bank")};
    mixed.setDictionary(good, goodPair);
    const uint64_t bad = mixed.beginContainer();
    const uint64_t inner = mixed.beginContainer();
    mixed.setArray(inner, {});
    const uint64_t badPair[] = {mixed.string("Notes"), inner};
    mixed.setDictionary(bad, badPair);
    const uint64_t items[] = {good, bad};
    mixed.setArray(array, items);
    EXPECT_TRUE(refused(mixed.finish(array)));
}

TEST(EntryDrag, OnlyEntriesFromAnotherFileThatCanBeWrittenAreTaken)
{
    QTemporaryDir dir;
    const QString home = dir.path() + "/Home.qly";
    const QString work = dir.path() + "/Work.qly";
    QDir().mkpath(home);
    QDir().mkpath(work);
    const QStringList both = EntryDrag::draggedTypes();
    EXPECT_EQ(both, (QStringList{"PW Items", "DB Path"}));

    const EntryDrag::DropTarget target{work, true, true};
    EXPECT_TRUE(EntryDrag::acceptsDrop(both, home, target));
    EXPECT_TRUE(EntryDrag::acceptsDrop({"PW Items"}, "", target));
    EXPECT_FALSE(EntryDrag::acceptsDrop({"DB Path"}, home, target));
    EXPECT_FALSE(EntryDrag::acceptsDrop({"text/plain", "text/uri-list"}, home, target));
    // The same file, however its path is spelled.
    EXPECT_FALSE(EntryDrag::acceptsDrop(both, work, target));
    EXPECT_FALSE(EntryDrag::acceptsDrop(both, work + "/", target));
    ASSERT_TRUE(QFile::link(work, dir.path() + "/Linked.qly"));
    EXPECT_FALSE(EntryDrag::acceptsDrop(both, dir.path() + "/Linked.qly", target));
    // A read-only file, or one not open or busy with a panel.
    EXPECT_FALSE(EntryDrag::acceptsDrop(both, home, {work, false, true}));
    EXPECT_FALSE(EntryDrag::acceptsDrop(both, home, {work, true, false}));

    EXPECT_EQ(EntryDrag::pathFromData(EntryDrag::pathData("/home/\u00e9/Home.qly")), "/home/\u00e9/Home.qly");
}

TEST(EntryDrag, DroppedEntriesTakeTheLastPartOfTheirNameMadeUnique)
{
    const std::pair<QString, QString> names[] = {
        {"Mail", "Mail"}, {"Work/Mail", "Mail"}, {"a/b/Mail//", "Mail"}, {"/Mail", "Mail"},
        {"/", "/"},       {"", ""},             {"Work/", "Work"},
    };
    for (const auto& [path, name] : names)
        EXPECT_EQ(EntryDrag::droppedName(path), name) << path.toStdString();

    EntryList target;
    target.append(makeEntry(named("Bank")));
    Entry options = named("Bank");
    options.setInteger(EntryKey::PasswordOptions, 2);
    const QList<Entry> dragged = {options, named("Work/Mail"), named("Home/Mail"), named("Mail2")};
    EXPECT_EQ(EntryDrag::appendDroppedEntries(target, dragged), 4);
    QStringList result;
    for (const EntryRef& e : target.entries())
        result << e->name();
    EXPECT_EQ(result, (QStringList{"Bank", "Bank2", "Mail", "Mail2", "Mail22"}));
    EXPECT_EQ(target.at(1)->integer(EntryKey::PasswordOptions), 2);
}

}  // namespace
