#pragma once

#include <QString>

#include <functional>

namespace quorly {

// One login sequence, from its first key to its last, however it started (a hot key,
// a timer, a website just opened). Sequences nest: the user-ID sequence runs the
// password sequence inside it, and only the outermost scope begins and ends the
// sequence on the key sink.
//
// At the end of a sequence that was stopped (the focus moved, or there was no window
// to type into) a user ID or password that the sequence itself put on the clipboard is
// taken off again, since the step that would have cleared it never ran.
class SequenceScope {
public:
    SequenceScope();
    ~SequenceScope();
    SequenceScope(const SequenceScope&) = delete;
    SequenceScope& operator=(const SequenceScope&) = delete;

    // Whether a sequence is running (it may be waiting for a page to load) or reserved.
    static bool active();

    // Runs `work` now when no sequence runs; otherwise once the running one has ended,
    // on a later pass of the event loop. Work queued under a `key` that is already
    // waiting is dropped: a hot key held down or pressed again while the program is
    // typing runs once.
    static void runWhenIdle(const QString& key, std::function<void()> work);
};

// Holds the place of a sequence the program starts by itself after a wait (the page
// load after a website was opened): hot keys pressed meanwhile wait for it, as they
// wait for a running sequence. Its own SequenceScope still begins on the key sink only
// when its first key is near, so the window it types into is the one in front then
// (the browser), not the one that had the focus when the wait began.
class SequenceReservation {
public:
    SequenceReservation();
    ~SequenceReservation();
    SequenceReservation(const SequenceReservation&) = delete;
    SequenceReservation& operator=(const SequenceReservation&) = delete;
};

}  // namespace quorly
