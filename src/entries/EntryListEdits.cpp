#include "entries/EntryListEdits.h"

#include <algorithm>

namespace quorly {

QString deletePrompt(int count)
{
    return count < 2 ? QStringLiteral("Are you sure you want to delete the selected entry?")
                     : QStringLiteral("Are you sure you want to delete the selected entries?");
}

QStringList recentTitlesRemovedByDelete(const EntryList& list, const QList<int>& selectedRows)
{
    QList<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList titles;
    for (int row : rows) {
        if (row >= 0 && row < list.size())
            titles << list.at(row)->name();
    }
    return titles;
}

EntryRef duplicateOf(const EntryList& list, const Entry& original)
{
    EntryRef copy = makeEntry(original);
    copy->setName(list.copyNameForName(original.name()));
    return copy;
}

EntryRef entryChosenAgain(const EntryList& list, const EntryRef& chosen, const Entry& before)
{
    if (chosen && list.indexOf(chosen) >= 0)
        return chosen;
    const int equal = list.indexOfEqual(before);
    if (equal >= 0)
        return list.at(equal);
    const QString name = before.name();
    EntryRef found;
    for (const EntryRef& entry : list.entries()) {
        if (entry->name() != name)
            continue;
        if (found)
            return nullptr;
        found = entry;
    }
    return found;
}

}  // namespace quorly
