#pragma once

#include "entries/EntryFields.h"

#include <chrono>
#include <optional>

namespace quorly {

// The stored "clipboardClearSeconds", or its default of 30 while it is missing (start-up
// writes it, but a store shared with an older version may lack it): missing is not
// "never".
qint64 clipboardClearSecondsSetting();
// How long a copied password stays on the clipboard, from clipboardClearSecondsSetting()
// (0 keeps it there until something replaces it).
std::optional<std::chrono::milliseconds> passwordClipboardDelay();

// Copy User ID, Copy Password and Copy URL. The password goes onto the clipboard as a
// secret that clipboard managers skip, and is taken off after passwordClipboardDelay()
// when the clipboard still holds it; the program's quit takes it off too. User IDs and
// addresses are plain text that the user keeps. An empty field copies nothing (the
// user's clipboard is not emptied for it): false.
bool copyEntryField(const Entry& entry, EntryField field);

}  // namespace quorly
