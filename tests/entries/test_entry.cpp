#include "entries/Entry.h"

#include <gtest/gtest.h>

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
