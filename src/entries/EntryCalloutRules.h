#pragma once

#include "entries/Entry.h"
#include "entries/EntryList.h"

#include <QString>
#include <QStringList>

namespace quorly {

// `entryNames`: the names the entry being edited must not take, in list order. A new
// entry is the last of the list, so the last name goes; an existing entry drops every
// name equal to its own, so an older duplicate of its name cannot lock it.
QStringList calloutEntryNames(const EntryList& list, const EntryRef& entry, bool creating);

struct CalloutSaveState {
    bool nameAcceptable = false;  // the name warning is hidden exactly then
    bool saveEnabled = false;
    friend bool operator==(const CalloutSaveState&, const CalloutSaveState&) = default;
};

// `setEnabledForCalloutSaveChanges` without its widgets: a name is acceptable when it is
// non-empty and not taken (case-sensitive); saving needs a writable package, an
// acceptable name and a change against `baseline`.
CalloutSaveState calloutSaveState(const QString& name, const QStringList& entryNames, bool writeable,
                                  const Entry& edited, const Entry& baseline);

}  // namespace quorly
