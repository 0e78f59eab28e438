#include "entries/EntryListChanges.h"

#include <QMultiHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace quorly {

namespace {

// The newer list while the changes are applied: removed entries leave an empty slot,
// so indices stay valid, and an index by name keeps each lookup to the entries of one
// name (comparing every entry with every other would be quadratic in a 10,000-entry
// file). Each slot carries the name its entry will have, which differs from the
// entry's own only where one of ours had to give way to a name taken meanwhile.
class Slots {
public:
    explicit Slots(const QList<EntryRef>& entries)
    {
        slots_.reserve(size_t(entries.size()));
        for (const EntryRef& entry : entries)
            add(entry, entry->name());
    }

    int findEqual(const Entry& wanted) const
    {
        for (int i : byName_.values(wanted.name())) {
            const Slot& slot = slots_[size_t(i)];
            if (slot.name == slot.entry->name() && *slot.entry == wanted)
                return i;
        }
        return -1;
    }
    int findNamed(const QString& name) const
    {
        const QList<int> found = byName_.values(name);
        return found.isEmpty() ? -1 : *std::min_element(found.begin(), found.end());
    }
    const EntryRef& at(int i) const { return slots_[size_t(i)].entry; }

    void remove(int i)
    {
        Slot& slot = slots_[size_t(i)];
        byName_.remove(slot.name, i);
        slot.entry.reset();
    }
    // Puts `entry` in slot `i` (or a new one for -1); a name taken by another entry
    // meanwhile gives way to the first free one from `fallbackBase` on (the name itself
    // for an add, the conflicted name for a second version of an entry).
    void place(int i, const EntryRef& entry, const QString& fallbackBase)
    {
        if (i >= 0)
            remove(i);
        const QString name = byName_.contains(entry->name()) ? uniqueName(fallbackBase) : entry->name();
        if (i < 0) {
            add(entry, name);
        } else {
            slots_[size_t(i)] = {entry, name};
            byName_.insert(name, i);
        }
    }

    void collect(EntryListChanges::Merged& merged) const
    {
        merged.entries.reserve(byName_.size());
        for (const Slot& slot : slots_) {
            if (!slot.entry)
                continue;
            merged.entries.append(slot.entry);
            if (slot.name != slot.entry->name())
                merged.renamed.append({slot.entry, slot.name});
        }
    }

private:
    struct Slot {
        EntryRef entry;
        QString name;
    };

    void add(const EntryRef& entry, const QString& name)
    {
        byName_.insert(name, int(slots_.size()));
        slots_.push_back({entry, name});
    }
    QString uniqueName(const QString& base) const
    {
        return uniqueNameAmong([this](const QString& name) { return byName_.contains(name); }, base);
    }

    std::vector<Slot> slots_;
    QMultiHash<QString, int> byName_;
};

QString conflictedName(const QString& name)
{
    return name + QStringLiteral(" (CONFLICTED)");
}

}  // namespace

EntryListBaseline::EntryListBaseline(const QList<EntryRef>& entries)
{
    items_.reserve(entries.size());
    for (const EntryRef& entry : entries)
        items_.append({entry, *entry});
}

QList<EntryChange> EntryListChanges::since(const EntryListBaseline& baseline, const QList<EntryRef>& list)
{
    QSet<const Entry*> present;
    present.reserve(list.size());
    for (const EntryRef& entry : list)
        present.insert(entry.get());

    QList<EntryChange> changes;
    QHash<const Entry*, const Entry*> copies;
    copies.reserve(baseline.items_.size());
    for (const auto& [object, copy] : baseline.items_) {
        copies.insert(object.get(), &copy);
        if (!present.contains(object.get()))
            changes.append({EntryChange::Kind::Removed, copy, nullptr});
    }
    for (const EntryRef& entry : list) {
        const Entry* copy = copies.value(entry.get());
        if (!copy)
            changes.append({EntryChange::Kind::Added, Entry(), entry});
        else if (*copy != *entry)
            changes.append({EntryChange::Kind::Changed, *copy, entry});
    }
    return changes;
}

EntryListChanges::Merged EntryListChanges::apply(const QList<EntryRef>& newer, const QList<EntryChange>& changes,
                                                 const QList<EntryRef>& ours, const ConflictAnswers& answers)
{
    // Our objects the changes do not concern, by name, to stand in for equal entries.
    QSet<const Entry*> changed;
    for (const EntryChange& change : changes) {
        if (change.entry)
            changed.insert(change.entry.get());
    }
    QHash<QString, QList<EntryRef>> spare;
    for (const EntryRef& entry : ours) {
        if (!changed.contains(entry.get()))
            spare[entry->name()].append(entry);
    }
    QList<EntryRef> start;
    start.reserve(newer.size());
    for (const EntryRef& entry : newer) {
        EntryRef chosen = entry;
        auto same = spare.find(entry->name());
        if (same != spare.end()) {
            for (qsizetype i = 0; i < same->size(); ++i) {
                if (*same->at(i) == *entry) {
                    chosen = same->takeAt(i);
                    break;
                }
            }
        }
        start.append(chosen);
    }

    Slots result(start);
    Merged merged;
    merged.baseline = EntryListBaseline(start);
    QSet<QString> asked;
    const auto choose = [&](const EntryConflict& conflict) {
        const auto answer = answers.constFind(conflict.key());
        if (answer != answers.constEnd())
            return *answer;
        if (!asked.contains(conflict.key())) {
            asked.insert(conflict.key());
            merged.unanswered.append(conflict);
        }
        return ConflictChoice::Keep;
    };

    for (const EntryChange& change : changes) {
        switch (change.kind) {
        case EntryChange::Kind::Removed: {
            if (const int i = result.findEqual(change.before); i >= 0) {
                result.remove(i);
            } else if (const int j = result.findNamed(change.before.name()); j >= 0) {
                const EntryConflict conflict{EntryConflict::Kind::RemovedHere, change.before.name(), nullptr,
                                             result.at(j)};
                if (choose(conflict) == ConflictChoice::Mine)
                    result.remove(j);
            }
            // Otherwise it is gone there too (or renamed there, which counts as theirs).
            break;
        }
        case EntryChange::Kind::Changed: {
            const EntryRef& mine = change.entry;
            if (const int i = result.findEqual(change.before); i >= 0) {
                result.place(i, mine, mine->name());
            } else if (const int same = result.findEqual(*mine); same >= 0) {
                result.place(same, mine, mine->name());  // both made the same change
            } else if (const int j = result.findNamed(change.before.name()); j >= 0) {
                const EntryConflict conflict{EntryConflict::Kind::BothChanged, change.before.name(), mine,
                                             result.at(j)};
                if (choose(conflict) == ConflictChoice::Mine)
                    result.place(j, mine, mine->name());
                else
                    result.place(-1, mine, conflictedName(mine->name()));
            } else {
                const EntryConflict conflict{EntryConflict::Kind::RemovedThere, change.before.name(), mine, nullptr};
                if (choose(conflict) == ConflictChoice::Keep)
                    result.place(-1, mine, mine->name());
            }
            break;
        }
        case EntryChange::Kind::Added: {
            const EntryRef& mine = change.entry;
            if (const int same = result.findEqual(*mine); same >= 0)
                result.place(same, mine, mine->name());
            else
                result.place(-1, mine, mine->name());
            break;
        }
        }
    }
    result.collect(merged);
    return merged;
}

}  // namespace quorly
