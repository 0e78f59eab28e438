#pragma once

#include <QString>

#include <chrono>

namespace quorly {

// The typing speed last read from "typeSpeed": -1 until a website-login controller
// wakes, then read again before every string that is entered.
extern int theTypeSpeed;
// The key code that yields "v" (found when the hot keys are registered), -1 when none.
extern int gPasteCode;

// The pause before each typed character at a "typeSpeed": (100 - speed) x 2.5 ms up to
// 99, none from 100 on. A speed below 1 paces as 1: a negative number must not turn
// into a wait of seconds per character.
std::chrono::microseconds typingPause(qint64 typeSpeed);

// "browserPageLoadDelay" as a wait. A negative number waits nothing; an absurd one
// waits an hour rather than overflowing into a wait of days or none.
std::chrono::milliseconds pageLoadDelay();

// The plain functions the fill sequences enter text and keys with. Each sends nothing
// once the sequence has been stopped.

// Each character (a whole code point) as a key press and release, after its pause.
void typeString(const QString& text);
// After a second, the text goes onto the clipboard (marked as a secret) and Control+V
// is pressed. With no key for "v" at all the text is typed instead.
void pasteString(const QString& text);
// Reads "typeSpeed" into theTypeSpeed: 0 pastes, anything else types.
void enterString(const QString& text);
void tab();
void nextPage();
// The TABs the current entry asks for before `field` ("UserID" or "Password"): none
// unless its switch is on, then the stored count + 1.
void doTABs(const QString& field);
// A wait inside a sequence (the one-second steps, the page-load delay); none once the
// sequence has been stopped.
void sequencePause(std::chrono::milliseconds length);

}  // namespace quorly
