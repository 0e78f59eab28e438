#include "entries/EntryCalloutRules.h"

namespace quorly {

QStringList calloutEntryNames(const EntryList& list, const EntryRef& entry, bool creating)
{
    QStringList names;
    names.reserve(list.size());
    for (int row = 0; row < list.size(); ++row)
        names << list.at(row)->name();
    if (creating) {
        if (!names.isEmpty())
            names.removeLast();
    } else if (entry) {
        names.removeAll(entry->name());
    }
    return names;
}

CalloutSaveState calloutSaveState(const QString& name, const QStringList& entryNames, bool writeable,
                                  const Entry& edited, const Entry& baseline)
{
    CalloutSaveState state;
    state.nameAcceptable = !name.isEmpty() && !entryNames.contains(name, Qt::CaseSensitive);
    state.saveEnabled = writeable && state.nameAcceptable && edited != baseline;
    return state;
}

}  // namespace quorly
