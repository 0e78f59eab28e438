#pragma once

#include "entries/Entry.h"

#include <QString>

namespace quorly {

// Which parts of an entry its hover text shows; an absent preference counts as off.
struct HoverPreferences {
    bool userID = false;    // "hoverUserID"
    bool password = false;  // "hoverPassword"
    bool url = false;       // "hoverURL"
    bool notes = false;     // "hoverNotes"
};

// Reads the four "hover…" preferences from the preferences store, at the moment of use.
HoverPreferences currentHoverPreferences();

// The hover text of a row: up to four labelled parts, the parts after the first one
// shown each on a line of its own. May be empty.
QString hoverText(const Entry& entry, const HoverPreferences& show);

}  // namespace quorly
