#pragma once

namespace quorly {

// A hot key was pressed; `identifier` is its number (1, 2: user ID; 3, 4: password).
// Sends the sequence to the front document's website-login controller (gWPM), as if
// from the hot key. Without a front document (none open, the one that was closed, or
// one that must ask for its password again) nothing happens. Pressed while a sequence
// runs, the hot key waits for that sequence to end.
void hotKeyHandler(int identifier);

}  // namespace quorly
