#include "entries/Entry.h"
#include "entries/EntryList.h"
#include "entries/EntrySearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace quorly;

TEST(Entry, MissingKeysReadAsNothingAndOtherTypesConvertLikeThePlatformAccessors)
{
    Entry e;
    EXPECT_EQ(e.string(EntryKey::WebsiteURL), QString());
    EXPECT_FALSE(e.boolean(EntryKey::UseCWBrowser));
    EXPECT_EQ(e.integer(EntryKey::PasswordTabCount), 0);
    EXPECT_EQ(e.real(EntryKey::PasswordLength), 0.0);

    e.set("n", qint64(42));
    e.set("t", true);
    e.set("r", 2.9);
    EXPECT_EQ(e.string("n"), QString());  // a stray number is not shown as text
    EXPECT_EQ(e.string("t"), QString());
    EXPECT_EQ(e.integer("t"), 1);
    EXPECT_EQ(e.integer("r"), 2);
    EXPECT_TRUE(e.boolean("n"));

    const struct { const char* text; bool b; qint64 i; double r; } cases[] = {
        {"1", true, 1, 1.0},
        {"0", false, 0, 0.0},
        {"YES", true, 0, 0.0},
        {"no", false, 0, 0.0},
        {"  007x", true, 7, 7.0},
        {"-12.5e1abc", true, -12, -125.0},
        {".5", false, 0, 0.5},
        {"1e", true, 1, 1.0},
        {"99999999999999999999", true, std::numeric_limits<qint64>::max(), 1e20},
        {"-99999999999999999999", true, std::numeric_limits<qint64>::min(), -1e20},
    };
    for (const auto& c : cases) {
        e.setString("s", QString::fromLatin1(c.text));
        EXPECT_EQ(e.boolean("s"), c.b) << c.text;
        EXPECT_EQ(e.integer("s"), c.i) << c.text;
        EXPECT_DOUBLE_EQ(e.real("s"), c.r) << c.text;
    }

    // Reals outside the integer range must not be converted blindly.
    e.set("r", std::nan(""));
    EXPECT_EQ(e.integer("r"), 0);
    e.set("r", 1e300);
    EXPECT_EQ(e.integer("r"), std::numeric_limits<qint64>::max());
}

TEST(Entry, EqualityIgnoresOrderAndComparesNumbersByValue)
{
    Entry a;
    a.setName("Bank");
    a.setBool("k", true);
    a.setString("s", "1");
    Entry b;
    b.setString("s", "1");
    b.setInteger("k", 1);
    b.setName("Bank");
    EXPECT_EQ(a, b);
    b.set("k", 1.0);
    EXPECT_EQ(a, b);

    b.set("k", QString("1"));  // text never equals a number
    EXPECT_NE(a, b);
    b.set("k", true);
    b.setString("s", "1 ");
    EXPECT_NE(a, b);
    b.setString("s", "1");
    b.setString("extra", "");
    EXPECT_NE(a, b);
    EXPECT_NE(b, a);

    // Integers and reals compare exactly, not after rounding to double.
    Entry big1, big2;
    big1.setInteger("n", (qint64(1) << 53) + 1);
    big2.set("n", double(qint64(1) << 53));
    EXPECT_NE(big1, big2);

    // An entry always equals its own copy, or merges would add it again and again.
    Entry nan;
    nan.set("r", std::nan(""));
    EXPECT_EQ(nan, Entry(nan));
}

// Entries read together share memory; each must stay whole whatever becomes of the
// others, of the reader, and of its own copies.
TEST(Entry, EntriesMadeTogetherOutliveEachOtherAndTheirReader)
{
    const QString* name = Entry::internKey(EntryKey::Path);
    const QString* notes = Entry::internKey(EntryKey::Notes);
    const QString longNotes(600 * 1024, u'n');  // too large to share a chunk
    std::vector<Entry> entries;
    {
        Entry::Builder builder(Entry::Builder::Expecting::ManyEntries);
        for (int i = 0; i < 20000; ++i) {
            builder.text(name, QStringLiteral("Entry %1").arg(i));
            builder.text(notes, i % 5000 == 0 ? longNotes : QStringLiteral("note %1").arg(i));
            builder.integer(Entry::internKey(EntryKey::PasswordLength), i);
            entries.push_back(builder.build());
        }
    }
    // Most go, some change (and so leave their shared block), a copy outlives its original.
    std::vector<Entry> kept;
    for (int i = 0; i < 20000; i += 7)
        kept.push_back(entries[size_t(i)]);
    entries.clear();
    for (size_t k = 0; k < kept.size(); k += 2)
        kept[k].setString(EntryKey::WebsiteURL, QStringLiteral("https://example.org"));
    for (size_t k = 0; k < kept.size(); ++k) {
        const int i = int(k) * 7;
        ASSERT_EQ(kept[k].name(), QStringLiteral("Entry %1").arg(i));
        ASSERT_EQ(kept[k].stringView(EntryKey::Notes),
                  i % 5000 == 0 ? longNotes : QStringLiteral("note %1").arg(i));
        ASSERT_EQ(kept[k].integer(EntryKey::PasswordLength), i);
        ASSERT_EQ(kept[k].contains(EntryKey::WebsiteURL), k % 2 == 0);
    }
}

// Texts are held as Latin-1 when they can be: every character must come back, an entry
// must equal its UTF-16 twin, and finding and ordering must not see the difference.
TEST(Entry, TextsReadTheSameHeldAsLatin1OrAsUTF16)
{
    const QString* name = Entry::internKey(EntryKey::Path);
    const QString* notes = Entry::internKey(EntryKey::Notes);
    const QString zurich = QStringLiteral("ZÜRICH Kantonalbank");
    const QString wide = QStringLiteral("Café ☕ \U0001F511");
    Entry::Builder builder;

    builder.text(name, QLatin1StringView("Z\xDCRICH Kantonalbank"));
    builder.text(notes, wide);
    const Entry fromLatin1 = builder.build();
    // A reader's UTF-16 text that Latin-1 can hold is narrowed, and still equal.
    char16_t* units = builder.text(name, zurich.size());
    std::copy(zurich.utf16(), zurich.utf16() + zurich.size(), units);
    builder.text(notes, wide);
    const Entry fromUtf16 = builder.build();

    for (const Entry* e : {&fromLatin1, &fromUtf16}) {
        EXPECT_EQ(e->name(), zurich);
        EXPECT_EQ(e->string(EntryKey::Notes), wide);
        EXPECT_EQ(e->value(EntryKey::Path), std::optional<EntryValue>(zurich));
    }
    EXPECT_EQ(fromLatin1, fromUtf16);
    Entry changed = fromLatin1;
    changed.setString(EntryKey::WebsiteURL, QString());
    EXPECT_EQ(changed.name(), zurich);
    EXPECT_EQ(changed.string(EntryKey::Notes), wide);

    EXPECT_TRUE(entryMatches(fromLatin1, QStringLiteral("zürich")));
    EXPECT_TRUE(entryMatches(fromLatin1, QStringLiteral("☕")));
    EXPECT_FALSE(entryMatches(fromLatin1, QStringLiteral("zurich")));

    // Code point order across the two forms: "Z" < "ZÜ" (U+00DC) < "Z☕" (U+2615).
    EXPECT_LT(compareByCodePoint(QLatin1StringView("Z"), fromLatin1.nameView()), 0);
    EXPECT_LT(compareByCodePoint(fromLatin1.nameView(), QStringView(u"Z\u2615")), 0);
    EXPECT_GT(compareByCodePoint(QStringView(u"Z\U0001F511"), QLatin1StringView("Z\xFF")), 0);
    EXPECT_EQ(compareByCodePoint(fromLatin1.nameView(), fromUtf16.nameView()), 0);
}
