#pragma once

#include "entries/Entry.h"

#include <QList>
#include <QStringList>

namespace quorly {

// The length pop-up of the generator callout: the lengths of its items (their tags) and
// the index of the one shown.
struct LengthPopUp {
    QList<int> lengths;
    int selected = 0;
    friend bool operator==(const LengthPopUp&, const LengthPopUp&) = default;
};

// The pop-up for an entry whose "websitePasswordLength" is `stored`: the offered lengths,
// with the stored one selected.
LengthPopUp lengthPopUpFor(qint64 stored);

// An entry that has never been given generator settings gets the preferred length
// ("generatedPasswordLength") and special characters. Returns the keys it added.
QStringList addGeneratorDefaults(Entry& entry);

// The user confirmed the generator callout with these choices.
void storeGeneratorChoice(Entry& entry, int length, bool includeSpecials);

// The entry's stored length as the generator takes it: anything the generator cannot
// serve stays out of its range (and is refused), rather than wrapping round.
quint32 generatorLength(const Entry& entry);

}  // namespace quorly
