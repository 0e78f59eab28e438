#pragma once

#include "login/KeySink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>

#include <functional>

typedef struct _XkbDesc* XkbDescPtr;

namespace quorly {

class X11Connection;

// The login sequences' keys on X11, through XTest: a press and a release per character,
// with the modifiers its shift level needs (worked out with the locks that are on, so
// CapsLock does not turn the case of letters). A character no key of the layout
// produces is typed with a spare key code that is lent its symbol until the string
// has been typed. Every key goes to the window that had the focus when the sequence
// began: when another window has it, the sequence stops.
class X11KeySink : public KeySink {
public:
    explicit X11KeySink(X11Connection& connection);
    ~X11KeySink() override;

    // Whether the top-level X window is one of the program's own; the program never
    // types into its own windows.
    void setOwnWindowTest(std::function<bool(unsigned long topLevel)> test) { ownWindow_ = std::move(test); }
    // How long keys still held from the hot key are waited for in one sequence before
    // the sequence lets go of them itself.
    void setHeldKeyWait(int msec) { heldKeyWaitMsec_ = msec; }

    void beginSequence() override;
    void endSequence() override;
    bool stopped() const override { return stopped_; }
    void typeCharacter(char32_t character) override;
    void endOfText() override;
    void pressTab() override;
    void pressReturn() override;
    void pressPaste(int pasteCode) override;
    void pause(std::chrono::microseconds length) override;

    // The window the current sequence types into (0 when stopped before it began).
    unsigned long target() const { return target_; }

private:
    struct Stroke {
        int keyCode = 0;
        unsigned modifiers = 0;  // Shift and the third-level modifier, as needed
    };

    void stop();
    bool readyForKey();
    void waitForQuietKeyboard();
    bool focusUnchanged();
    unsigned long focusedTopLevel(unsigned long* focus);
    void loadKeymap();
    void buildStrokes(unsigned lockedModifiers, int group);
    bool strokeFor(unsigned long keySym, Stroke& stroke);
    bool lendSpareKey(unsigned long keySym, Stroke& stroke);
    void giveBackLentKeys(bool afterReading = true);
    void typeKeySym(unsigned long keySym);
    void press(const Stroke& stroke);

    X11Connection& connection_;
    std::function<bool(unsigned long)> ownWindow_;
    int heldKeyWaitMsec_ = 2000;

    bool stopped_ = true;
    unsigned long target_ = 0;
    unsigned long lastFocus_ = 0;
    QElapsedTimer heldKeyClock_;
    bool heldKeyWaitUsed_ = false;
    bool keyboardChecked_ = false;

    XkbDescPtr keymap_ = nullptr;
    QHash<unsigned long, Stroke> strokes_;
    unsigned strokesLocks_ = ~0u;
    int strokesGroup_ = -1;
    int shiftKey_ = 0, controlKey_ = 0, levelThreeKey_ = 0;
    unsigned levelThreeMask_ = 0;
    QList<int> lockKeys_;
    QList<int> spareKeys_;
    QHash<unsigned long, int> lent_;
};

}  // namespace quorly
