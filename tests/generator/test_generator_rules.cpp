// What the generator callout shows and stores, and the line that keeps a replaced
// password in the notes.
#include "app/Preferences.h"
#include "app/StartUp.h"
#include "generator/GeneratePassword.h"
#include "generator/GeneratorSettings.h"
#include "generator/PasswordNote.h"

#include "app/ScratchHome.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorly;

TEST(PasswordNote, OneLinePerReplacedPasswordOnALineOfItsOwn)
{
    const QDateTime afternoon(QDate(2024, 3, 5), QTime(14, 7), Qt::LocalTime);
    EXPECT_EQ(passwordWasNote("", "old", afternoon), "03/05/24 02:07 PM: Password was: old\n");
    EXPECT_EQ(passwordWasNote("pin 1234\n", "old", afternoon), "03/05/24 02:07 PM: Password was: old\n");
    EXPECT_EQ(passwordWasNote("pin 1234", "old", afternoon), "\n03/05/24 02:07 PM: Password was: old\n");
    EXPECT_EQ(passwordWasNote("pin 1234", "", afternoon), std::nullopt);  // nothing was replaced
    // The old password is written as it was, whatever it holds.
    EXPECT_EQ(passwordWasNote("", "%1%2", afternoon), "03/05/24 02:07 PM: Password was: %1%2\n");
}

TEST(PasswordNote, DateHasTwelveHourClockAndEnglishMarksInAnyLanguage)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(passwordNoteDate(QDateTime(QDate(2009, 12, 31), QTime(0, 15), Qt::LocalTime)), "12/31/09 12:15 AM");
    EXPECT_EQ(passwordNoteDate(QDateTime(QDate(2031, 1, 2), QTime(12, 0), Qt::LocalTime)), "01/02/31 12:00 PM");
    QLocale::setDefault(before);
}

TEST(GeneratorSettings, PopUpOffersTheLengthsStartUpKeepsUpToTheMaximum)
{
    const QList<int> offered = StartUp::offeredPasswordLengths();
    ASSERT_FALSE(offered.isEmpty());
    EXPECT_EQ(offered.first(), 8);
    EXPECT_EQ(offered.last(), int(PasswordLength::Maximum));
    EXPECT_TRUE(std::is_sorted(offered.begin(), offered.end()));
    for (int length : offered)
        EXPECT_EQ(StartUp::normalisedPasswordLength(length), length);

    // A stored length shows as the item that has it.
    EXPECT_EQ(lengthPopUpFor(16), (LengthPopUp {offered, int(offered.indexOf(16))}));
    EXPECT_EQ(lengthPopUpFor(0), (LengthPopUp {offered, 0}));  // 0 stands for 8
    // One the generator can serve but no item has gets an item of its own, in order.
    EXPECT_EQ(lengthPopUpFor(10).lengths.mid(0, 3), (QList<int> {8, 10, 12}));
    EXPECT_EQ(lengthPopUpFor(10).selected, 1);
    EXPECT_EQ(lengthPopUpFor(4), (LengthPopUp {QList<int> {4} + offered, 0}));
    // Anything else shows as the nearest end.
    for (qint64 stored : {3, -5})
        EXPECT_EQ(lengthPopUpFor(stored), (LengthPopUp {offered, 0})) << stored;
    EXPECT_EQ(lengthPopUpFor(1000), (LengthPopUp {offered, int(offered.size() - 1)}));

    Entry entry;
    entry.setInteger(EntryKey::PasswordLength, 1000);
    EXPECT_EQ(GeneratePassword(generatorLength(entry), false).status, GeneratedPassword::Status::TooLong);
    entry.setInteger(EntryKey::PasswordLength, -1);
    EXPECT_EQ(GeneratePassword(generatorLength(entry), false).status, GeneratedPassword::Status::TooShort);
}

TEST(GeneratorSettings, DefaultsFillOnlyWhatTheEntryLacks)
{
    ScratchHome scratch;
    Entry fresh;
    EXPECT_EQ(addGeneratorDefaults(fresh), (QStringList {EntryKey::PasswordLength, EntryKey::IncludeSpecials}));
    EXPECT_EQ(fresh.value(EntryKey::PasswordLength), EntryValue(qint64(8)));  // no preference yet
    EXPECT_EQ(fresh.value(EntryKey::IncludeSpecials), EntryValue(true));

    Preferences::setInteger(PrefKey::GeneratedPasswordLength, 20);
    Entry chosen;
    storeGeneratorChoice(chosen, 12, false);
    const Entry before = chosen;
    EXPECT_TRUE(addGeneratorDefaults(chosen).isEmpty());
    EXPECT_EQ(chosen.items(), before.items());
    Entry other;
    addGeneratorDefaults(other);
    EXPECT_EQ(other.integer(EntryKey::PasswordLength), 20);
}
