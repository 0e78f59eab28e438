#include "entries/EntryList.h"
#include "entries/EntryListChanges.h"
#include "entries/EntryMerge.h"

#include <gtest/gtest.h>

using namespace quorly;

namespace {

EntryRef named(const QString& name, const QString& password = QString())
{
    Entry e;
    e.setName(name);
    if (!password.isNull())
        e.setString(EntryKey::WebsitePassword, password);
    return makeEntry(e);
}

EntryList listOf(const QStringList& names)
{
    EntryList list;
    for (const QString& n : names)
        list.append(named(n));
    return list;
}

QStringList namesIn(const QList<EntryRef>& entries)
{
    QStringList names;
    for (const EntryRef& e : entries)
        names << e->name();
    return names;
}

QStringList namesIn(const EntryList& list)
{
    return namesIn(list.entries());
}

}  // namespace

TEST(EntryNames, UniqueAndCopyNamesTakeTheFirstFreeNumber)
{
    EXPECT_EQ(listOf({"Mail"}).uniqueNameForName("Bank"), "Bank");
    EXPECT_EQ(listOf({"Bank", "Bank2"}).uniqueNameForName("Bank"), "Bank3");
    EXPECT_EQ(listOf({"Bank", "Bank3"}).uniqueNameForName("Bank"), "Bank2");
    EXPECT_EQ(listOf({"bank"}).uniqueNameForName("Bank"), "Bank");
    EXPECT_EQ(listOf({""}).uniqueNameForName(""), "2");

    // A copy's name always differs from the original's.
    EXPECT_EQ(listOf({"Mail"}).copyNameForName("Mail"), "Mail copy");
    EXPECT_EQ(listOf({"Mail", "Mail copy"}).copyNameForName("Mail"), "Mail copy 2");
    EXPECT_EQ(listOf({"Mail", "Mail copy", "Mail copy 2"}).copyNameForName("Mail"), "Mail copy 3");
    EXPECT_EQ(listOf({"Mail", "mail copy"}).copyNameForName("Mail"), "Mail copy");
}

TEST(EntryNames, LookupIsExactAndFindsTheFirst)
{
    EntryList list = listOf({"Bank", "caf\u00e9", "Bank"});
    EXPECT_EQ(list.entryWithName("Bank"), list.at(0));
    // Names are not normalised: a decomposed spelling is another name.
    EXPECT_EQ(list.entryWithName(QString::fromUtf8("cafe\xcc\x81")), nullptr);
    EXPECT_EQ(list.indexOf(named("Bank")), -1);
    EXPECT_EQ(list.indexOfEqual(*named("Bank")), 0);
}

TEST(EntrySort, OrdersByCodePointWithEquivalentSpellingsEqual)
{
    EntryList list = listOf({"beta", "Alpha", "alpha", "Zeta", "10 things", "Alph"});
    list.sort();
    EXPECT_EQ(namesIn(list), QStringList({"10 things", "Alph", "Alpha", "Zeta", "alpha", "beta"}));

    // U+FF21 lies below U+1F600, although the latter's first UTF-16 unit is smaller.
    const QString fullwidthA = QString(QChar(0xFF21));
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    list = listOf({emoji, fullwidthA});
    list.sort();
    EXPECT_EQ(namesIn(list), QStringList({fullwidthA, emoji}));
    EXPECT_GT(passwordsSort(*named(emoji), *named(fullwidthA)), 0);

    // Canonically equivalent names compare equal.
    const QString precomposed = QString::fromUtf8("caf\xc3\xa9");
    const QString decomposed = QString::fromUtf8("cafe\xcc\x81");
    EXPECT_EQ(passwordsSort(*named(precomposed), *named(decomposed)), 0);
    // Decomposed, é is an e followed by its accent, so it sorts before "caff".
    EXPECT_LT(passwordsSort(*named(precomposed), *named("caff")), 0);
    EXPECT_LT(passwordsSort(*named("cafe"), *named(precomposed)), 0);
}

TEST(EntryCreation, DefaultsOfAddAndImport)
{
    const Entry add = newEntryForAdd();
    EXPECT_EQ(add.size(), 3);
    EXPECT_EQ(add.name(), "(New)");
    EXPECT_EQ(add.value(EntryKey::Button), EntryValue(QString()));
    EXPECT_EQ(add.value(EntryKey::Notes), EntryValue(QString()));

    const Entry imported = newEntryForImport("Bank2");
    EXPECT_EQ(imported.size(), 8);
    EXPECT_EQ(imported.name(), "Bank2");
    EXPECT_EQ(imported.value(EntryKey::NewUserIDOptions), EntryValue(qint64(0)));
    EXPECT_EQ(imported.value(EntryKey::UserIDTabCount), EntryValue(qint64(0)));
    EXPECT_EQ(imported.value(EntryKey::PasswordTabCount), EntryValue(qint64(0)));
    EXPECT_EQ(imported.value(EntryKey::UserIDTabSwitch), EntryValue(false));
    EXPECT_EQ(imported.value(EntryKey::PasswordTabSwitch), EntryValue(true));
    EXPECT_EQ(imported.value(EntryKey::Notes), EntryValue(QString()));
}

TEST(EntryMerge, SkipsEqualRenamesConflictsAndAddsNewNames)
{
    EntryList list;
    list.append(named("Bank", "one"));
    list.append(named("Mail", "m"));
    list.append(named("Mail (CONFLICTED)", "old"));

    const QList<EntryRef> copy = {
        named("Bank", "one"),   // equal: skipped
        named("Mail", "other"), // conflict, and its first renamed form is taken
        named("Mail", "third"), // a second conflict on the same name
        named("Shop", "s"),     // new
        named("Shop", "s"),     // the same entry twice in the copy
        named("Shop", "t"),     // a second new entry of that name must not share it
    };
    EXPECT_EQ(mergeConflictedCopy(list, copy), 4);
    EXPECT_EQ(namesIn(list), QStringList({"Bank", "Mail", "Mail (CONFLICTED)", "Mail (CONFLICTED)2",
                                          "Mail (CONFLICTED)3", "Shop", "Shop (CONFLICTED)"}));
    EXPECT_EQ(list.at(3)->string(EntryKey::WebsitePassword), "other");
    EXPECT_EQ(list.at(6)->string(EntryKey::WebsitePassword), "t");
    // Added entries are copies: renaming must not reach into the copy's entries.
    EXPECT_EQ(copy.at(1)->name(), "Mail");
    EXPECT_NE(list.at(5), copy.at(3));
}

TEST(EntryListChanges, FoundByComparingEachObjectWithItsCopyAsRead)
{
    EntryList ours = listOf({"Bank", "Mail", "Shop"});
    const EntryListBaseline read(ours.entries());
    EXPECT_TRUE(EntryListChanges::since(read, ours.entries()).isEmpty());

    ours.at(0)->setString(EntryKey::WebsitePassword, "new");  // edits change the object in place
    ours.removeAt(1);
    ours.append(named("Zoo"));
    const QList<EntryChange> changes = EntryListChanges::since(read, ours.entries());
    ASSERT_EQ(changes.size(), 3);
    EXPECT_EQ(changes[0].kind, EntryChange::Kind::Removed);
    EXPECT_EQ(changes[0].before.name(), "Mail");
    EXPECT_EQ(changes[1].kind, EntryChange::Kind::Changed);
    EXPECT_EQ(changes[1].entry, ours.at(0));
    EXPECT_FALSE(changes[1].before.contains(EntryKey::WebsitePassword));
    EXPECT_EQ(changes[2].kind, EntryChange::Kind::Added);
    EXPECT_EQ(changes[2].entry->name(), "Zoo");
}

TEST(EntryListChanges, ChangesThatSpareEachOtherAreCarriedOverWithoutAQuestion)
{
    EntryList ours = listOf({"Bank", "Mail", "Shop"});
    const EntryListBaseline read(ours.entries());
    const EntryRef untouched = ours.at(2);
    ours.at(0)->setString(EntryKey::WebsitePassword, "mine");
    ours.removeAt(1);
    ours.append(named("Zoo"));
    ours.append(named("Taken", "mine"));
    ours.append(named("Both", "same"));

    // Meanwhile the other program added three entries; one has the name of ours, one
    // is the very entry we added too.
    const QList<EntryRef> theirs = {named("Bank"), named("Mail"), named("Shop"), named("Theirs"),
                                    named("Taken", "theirs"), named("Both", "same")};
    const EntryListChanges::Merged merged =
        EntryListChanges::apply(theirs, EntryListChanges::since(read, ours.entries()), ours.entries(), {});
    EXPECT_TRUE(merged.unanswered.isEmpty());
    EXPECT_EQ(namesIn(merged.entries), QStringList({"Bank", "Shop", "Theirs", "Taken", "Both", "Zoo", "Taken"}));
    EXPECT_EQ(merged.entries[0], ours.at(0));  // our changed entry, our object
    EXPECT_EQ(merged.entries[1], untouched);   // references to unchanged entries survive
    EXPECT_EQ(merged.entries[4], ours.at(4));  // added on both sides: once, ours
    // Our "Taken" will be "Taken2", but only once the caller adopts the merge.
    ASSERT_EQ(merged.renamed.size(), 1);
    EXPECT_EQ(merged.renamed[0].first, ours.at(3));
    EXPECT_EQ(merged.renamed[0].second, "Taken2");
}

TEST(EntryListChanges, EntriesChangedOnBothSidesAreConflictsWhoseDefaultLosesNothing)
{
    EntryList ours = listOf({"Bank", "Mail", "Shop", "Same"});
    const EntryListBaseline read(ours.entries());
    ours.at(0)->setString(EntryKey::WebsitePassword, "mine");  // they change it too
    ours.at(2)->setString(EntryKey::WebsitePassword, "mine");  // they delete it
    ours.at(3)->setString(EntryKey::WebsitePassword, "same");  // they make the same change
    ours.removeAt(1);                                          // they change it
    const QList<EntryRef> theirs = {named("Bank", "theirs"), named("Mail", "theirs"), named("Same", "same")};
    const QList<EntryChange> changes = EntryListChanges::since(read, ours.entries());

    const EntryListChanges::Merged kept = EntryListChanges::apply(theirs, changes, ours.entries(), {});
    QList<EntryConflict::Kind> kinds;
    for (const EntryConflict& conflict : kept.unanswered)
        kinds << conflict.kind;
    EXPECT_EQ(kinds, (QList<EntryConflict::Kind>{EntryConflict::Kind::RemovedHere, EntryConflict::Kind::BothChanged,
                                                 EntryConflict::Kind::RemovedThere}));
    EXPECT_EQ(namesIn(kept.entries), QStringList({"Bank", "Mail", "Same", "Bank", "Shop"}));
    EXPECT_EQ(kept.entries[1]->string(EntryKey::WebsitePassword), "theirs");
    ASSERT_EQ(kept.renamed.size(), 1);
    EXPECT_EQ(kept.renamed[0].second, "Bank (CONFLICTED)");
    EXPECT_EQ(kept.entries[4], ours.at(1));

    ConflictAnswers mine;
    for (const EntryConflict& conflict : kept.unanswered)
        mine.insert(conflict.key(), ConflictChoice::Mine);
    const EntryListChanges::Merged won = EntryListChanges::apply(theirs, changes, ours.entries(), mine);
    EXPECT_TRUE(won.unanswered.isEmpty());
    EXPECT_EQ(namesIn(won.entries), QStringList({"Bank", "Same"}));
    EXPECT_EQ(won.entries[0], ours.at(0));
}
