#include "entries/EntryList.h"
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

QStringList namesIn(const EntryList& list)
{
    QStringList names;
    for (const EntryRef& e : list.entries())
        names << e->name();
    return names;
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
