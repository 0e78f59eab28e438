#include "generator/GeneratorSettings.h"

#include "app/Preferences.h"
#include "app/StartUp.h"
#include "generator/GeneratePassword.h"

#include <algorithm>

namespace quorly {

LengthPopUp lengthPopUpFor(qint64 stored)
{
    LengthPopUp popUp {StartUp::offeredPasswordLengths(), 0};
    // Decided here, for a stored length that no item has (written by hand, by another
    // program, or by a version that offered other lengths): one the generator serves
    // with or without special characters gets an item of its own, so that confirming
    // the callout keeps it. 0 shows as the 8 it stands for; any other length shows as
    // the nearest end of the list, which confirming then stores.
    if (stored >= PasswordLength::minimum(true) && stored <= PasswordLength::Maximum &&
        !popUp.lengths.contains(int(stored))) {
        popUp.lengths.insert(std::lower_bound(popUp.lengths.begin(), popUp.lengths.end(), int(stored)), int(stored));
    }
    const qint64 shown = stored == 0 ? qint64(PasswordLength::Default)
                                     : std::clamp<qint64>(stored, popUp.lengths.first(), popUp.lengths.last());
    popUp.selected = int(std::lower_bound(popUp.lengths.begin(), popUp.lengths.end(), shown) - popUp.lengths.begin());
    return popUp;
}

QStringList addGeneratorDefaults(Entry& entry)
{
    QStringList added;
    if (!entry.contains(EntryKey::PasswordLength)) {
        // Normalised as at start-up: a store that never went through it reads as 8.
        entry.setInteger(EntryKey::PasswordLength,
                         StartUp::normalisedPasswordLength(Preferences::integer(PrefKey::GeneratedPasswordLength)));
        added << EntryKey::PasswordLength;
    }
    if (!entry.contains(EntryKey::IncludeSpecials)) {
        entry.setBool(EntryKey::IncludeSpecials, true);
        added << EntryKey::IncludeSpecials;
    }
    return added;
}

void storeGeneratorChoice(Entry& entry, int length, bool includeSpecials)
{
    entry.setInteger(EntryKey::PasswordLength, length);
    entry.setBool(EntryKey::IncludeSpecials, includeSpecials);
}

quint32 generatorLength(const Entry& entry)
{
    const qint64 stored = entry.integer(EntryKey::PasswordLength);
    if (stored < 0)
        return 1;
    return quint32(std::min<qint64>(stored, qint64(PasswordLength::Maximum) + 1));
}

}  // namespace quorly
