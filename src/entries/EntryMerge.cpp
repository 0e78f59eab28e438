#include "entries/EntryMerge.h"

#include <QHash>

#include <algorithm>

namespace quorly {

int mergeConflictedCopy(EntryList& list, const QList<EntryRef>& incoming)
{
    // Names are checked against the list as it grows, not only against the names it
    // held before this copy: otherwise two incoming entries of one new name, or an
    // incoming "X (CONFLICTED)" after a conflict on "X", would both come in under one
    // name, and a copy holding the same entry twice would add it twice.
    QSet<QString> taken = namesOf(list.entries());
    // Equal entries share their name, so only entries of that name need comparing; a
    // copy usually repeats the whole list, and comparing each against every entry
    // would be quadratic.
    QHash<QString, QList<EntryRef>> byName;
    for (const EntryRef& entry : list.entries())
        byName[entry->name()].append(entry);

    int added = 0;
    for (const EntryRef& source : incoming) {
        if (!source)
            continue;
        const QString name = source->name();
        if (taken.contains(name)) {
            const QList<EntryRef> sameName = byName.value(name);
            const bool held = std::any_of(sameName.begin(), sameName.end(),
                                          [&source](const EntryRef& e) { return *e == *source; });
            if (held)
                continue;
        }
        EntryRef entry = makeEntry(*source);
        if (taken.contains(name))
            entry->setName(uniqueNameAmong(taken, name + QStringLiteral(" (CONFLICTED)")));
        taken.insert(entry->name());
        byName[entry->name()].append(entry);
        list.append(std::move(entry));
        ++added;
    }
    return added;
}

}  // namespace quorly
