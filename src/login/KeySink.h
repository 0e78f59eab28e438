#pragma once

#include <chrono>
#include <memory>

namespace quorly {

// Where the login sequences send their keys: the window that had the keyboard focus
// when the sequence began. The desktop program installs the X11 implementation; tests
// install a recorder. Main thread only.
//
// A sequence can be stopped from below at any key: there was no window to type into,
// it was one of the program's own, or the focus moved to another window meanwhile.
// From then on nothing more may reach any window, so every step of the sequence asks
// stopped() first.
class KeySink {
public:
    virtual ~KeySink() = default;

    // The outermost sequence begins and ends. The window that has the keyboard focus at
    // begin is the one every key of the sequence is meant for.
    virtual void beginSequence() = 0;
    virtual void endSequence() = 0;
    virtual bool stopped() const = 0;

    // One character (a whole code point) as a key press and its release.
    virtual void typeCharacter(char32_t character) = 0;
    // The string being typed has ended: keys lent to characters of no key go back.
    virtual void endOfText() = 0;
    virtual void pressTab() = 0;
    virtual void pressReturn() = 0;
    // Control with the key `pasteCode`.
    virtual void pressPaste(int pasteCode) = 0;

    // A wait that keeps the windows painted but takes no input (RunLoop::pause).
    virtual void pause(std::chrono::microseconds length) = 0;
};

// The sink the sequences use. Until one is installed, a sink without a keyboard stands
// in: every sequence is stopped at once and sends nothing.
KeySink& keySink();
// Installs `sink` (nullptr restores the stand-in).
void setKeySink(std::shared_ptr<KeySink> sink);

}  // namespace quorly
