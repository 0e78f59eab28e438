#pragma once

#include "entries/Entry.h"

#include <QPointer>
#include <QString>

#include <optional>

namespace quorly {

class MyDocument;
class RecentWebsitesMenu;
class WebsitePasswordManager;

// Process-wide references, used on the main thread only. The two document references
// are guarded pointers and every document clears what points at it when it closes, so
// none of them ever designates a closed document.

// The password of a password file just created, until the first open consumes it.
extern std::optional<QString> gFramis;
// Overwrites and forgets gFramis (the controller does this before opening another file).
void clearGFramis();
// Takes gFramis out (leaving it empty), for the open that consumes it.
std::optional<QString> takeGFramis();

// The document the login automation acts on, and its website-login controller.
extern QPointer<MyDocument> gWebsiteDocument;
extern QPointer<WebsitePasswordManager> gWPM;
// The current entry: the one selected, the one just opened, or the editor's copy.
extern EntryRef gWebsiteItem;
// The shared "Go To Recent Website" menu; none until the desktop installs it.
extern RecentWebsitesMenu* gRecentWebsitesMenu;

// Overwrites the characters of `s` in place before it is dropped (a password).
void cleanseString(QString& s);

}  // namespace quorly
