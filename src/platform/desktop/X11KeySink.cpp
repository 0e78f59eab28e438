#include "platform/desktop/X11KeySink.h"

#include "platform/RunLoop.h"
#include "platform/desktop/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace quorly {

namespace {

// Programs read a changed keymap when its notice reaches them: a key lent a symbol is
// pressed only after they have had a moment for that, and given back only after they
// have had one to read the key.
constexpr int kLentKeySettleMsec = 20;
constexpr int kLentKeyReadMsec = 150;
constexpr int kHeldKeyPollMsec = 5;

unsigned long keySymFor(char32_t character)
{
    if (character == U'\n' || character == U'\r')
        return XK_Return;
    if (character == U'\t')
        return XK_Tab;
    return xkb_utf32_to_keysym(uint32_t(character));
}

}  // namespace

X11KeySink::X11KeySink(X11Connection& connection) : connection_(connection) {}

X11KeySink::~X11KeySink()
{
    giveBackLentKeys(false);
    if (keymap_)
        XkbFreeKeyboard(keymap_, 0, True);
}

void X11KeySink::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    XBell(connection_.display(), 0);
    XFlush(connection_.display());
}

void X11KeySink::beginSequence()
{
    stopped_ = false;
    heldKeyWaitUsed_ = false;
    keyboardChecked_ = false;
    heldKeyClock_.invalidate();
    loadKeymap();
    target_ = focusedTopLevel(&lastFocus_);
    // No window to type into, or one of ours: nothing of the sequence may be sent.
    if (!target_ || (ownWindow_ && ownWindow_(target_)))
        stop();
}

void X11KeySink::endSequence()
{
    giveBackLentKeys();
    XFlush(connection_.display());
    stopped_ = true;
    target_ = 0;
}

void X11KeySink::typeCharacter(char32_t character)
{
    const unsigned long keySym = keySymFor(character);
    if (keySym == NoSymbol) {
        stop();  // a half of a code point: typing on would enter a different text
        return;
    }
    typeKeySym(keySym);
}

void X11KeySink::endOfText()
{
    giveBackLentKeys();
}

void X11KeySink::pressTab()
{
    typeKeySym(XK_Tab);
}

void X11KeySink::pressReturn()
{
    typeKeySym(XK_Return);
}

void X11KeySink::pressPaste(int pasteCode)
{
    if (!readyForKey())
        return;
    Display* display = connection_.display();
    XTestFakeKeyEvent(display, unsigned(controlKey_), True, CurrentTime);
    XTestFakeKeyEvent(display, unsigned(pasteCode), True, CurrentTime);
    XTestFakeKeyEvent(display, unsigned(pasteCode), False, CurrentTime);
    XTestFakeKeyEvent(display, unsigned(controlKey_), False, CurrentTime);
    XFlush(display);
}

void X11KeySink::pause(std::chrono::microseconds length)
{
    if (length.count() > 0)
        RunLoop::pause(int(std::max<qint64>(1, (length.count() + 500) / 1000)));
}

void X11KeySink::typeKeySym(unsigned long keySym)
{
    if (!readyForKey())
        return;
    Stroke stroke;
    if (!strokeFor(keySym, stroke) && !lendSpareKey(keySym, stroke)) {
        stop();  // a password with a character left out would be a wrong one
        return;
    }
    if (stopped_ || !focusUnchanged())
        return;
    press(stroke);
}

void X11KeySink::press(const Stroke& stroke)
{
    Display* display = connection_.display();
    const bool shift = stroke.modifiers & ShiftMask;
    const bool levelThree = levelThreeMask_ && (stroke.modifiers & levelThreeMask_);
    if (shift)
        XTestFakeKeyEvent(display, unsigned(shiftKey_), True, CurrentTime);
    if (levelThree)
        XTestFakeKeyEvent(display, unsigned(levelThreeKey_), True, CurrentTime);
    XTestFakeKeyEvent(display, unsigned(stroke.keyCode), True, CurrentTime);
    XTestFakeKeyEvent(display, unsigned(stroke.keyCode), False, CurrentTime);
    if (levelThree)
        XTestFakeKeyEvent(display, unsigned(levelThreeKey_), False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, unsigned(shiftKey_), False, CurrentTime);
    XFlush(display);
}

// ---------------------------------------------------------------------------
// Before every key: the keyboard quiet, the same window in front

bool X11KeySink::readyForKey()
{
    if (stopped_)
        return false;
    XkbStateRec state{};
    XkbGetState(connection_.display(), XkbUseCoreKbd, &state);
    // The whole keyboard is looked at before the first key (the hot key's own key may
    // still be down); after that a modifier held down is what would do harm.
    constexpr unsigned heldModifiers = ShiftMask | ControlMask | Mod1Mask | Mod3Mask | Mod4Mask | Mod5Mask;
    if (!keyboardChecked_ || (state.base_mods & heldModifiers)) {
        keyboardChecked_ = true;
        waitForQuietKeyboard();
        XkbGetState(connection_.display(), XkbUseCoreKbd, &state);
    }
    if (!focusUnchanged())
        return false;
    const unsigned locks = state.locked_mods & ~unsigned(ShiftMask | ControlMask);
    if (locks != strokesLocks_ || state.group != strokesGroup_)
        buildStrokes(locks, state.group);
    return !stopped_;
}

void X11KeySink::waitForQuietKeyboard()
{
    // Keys still down from the hot key would turn typed letters into the browser's
    // shortcuts (and the hot key's own key holds the keyboard grabbed): wait until the
    // user lets go, for a while.
    Display* display = connection_.display();
    for (;;) {
        char keys[32];
        XQueryKeymap(display, keys);
        QList<int> down;
        for (int code = 8; code < 256; ++code) {
            if ((keys[code / 8] >> (code % 8)) & 1 && !lockKeys_.contains(code))
                down << code;
        }
        if (down.isEmpty())
            return;
        if (!heldKeyClock_.isValid())
            heldKeyClock_.start();
        if (heldKeyWaitUsed_ || heldKeyClock_.elapsed() >= heldKeyWaitMsec_) {
            // Still held after the wait: the keys are let go of on the user's behalf, so
            // what is typed next is text and goes to the window, not to the grab.
            heldKeyWaitUsed_ = true;
            connection_.releaseKeyboardGrab();
            XModifierKeymap* map = XGetModifierMapping(display);
            for (int code : down) {
                for (int i = 0; map && i < 8 * map->max_keypermod; ++i) {
                    if (map->modifiermap[i] == code) {
                        XTestFakeKeyEvent(display, unsigned(code), False, CurrentTime);
                        break;
                    }
                }
            }
            if (map)
                XFreeModifiermap(map);
            XSync(display, False);
            return;
        }
        RunLoop::pause(kHeldKeyPollMsec);
    }
}

bool X11KeySink::focusUnchanged()
{
    if (stopped_)
        return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(connection_.display(), &focus, &revert);
    if (focus == lastFocus_ && focus != PointerRoot)
        return true;
    unsigned long now = 0;
    if (focusedTopLevel(&now) != target_) {
        stop();
        return false;
    }
    lastFocus_ = now;
    return true;
}

unsigned long X11KeySink::focusedTopLevel(unsigned long* focus)
{
    Display* display = connection_.display();
    Window window = 0;
    int revert = 0;
    XGetInputFocus(display, &window, &revert);
    *focus = window;
    if (window == None)
        return 0;
    if (window == PointerRoot) {
        // Keys go to whatever window is under the pointer.
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        if (!XQueryPointer(display, connection_.root(), &root, &child, &rootX, &rootY, &x, &y, &mask) || !child)
            return 0;
        return child;
    }
    return connection_.topLevelOf(window);
}

// ---------------------------------------------------------------------------
// Which key and modifiers give a symbol

void X11KeySink::loadKeymap()
{
    Display* display = connection_.display();
    if (keymap_)
        XkbFreeKeyboard(keymap_, 0, True);
    keymap_ = XkbGetMap(display, XkbKeySymsMask | XkbKeyTypesMask | XkbModifierMapMask, XkbUseCoreKbd);
    strokesLocks_ = ~0u;
    strokesGroup_ = -1;
    shiftKey_ = XKeysymToKeycode(display, XK_Shift_L);
    controlKey_ = XKeysymToKeycode(display, XK_Control_L);
    levelThreeKey_ = XKeysymToKeycode(display, XK_ISO_Level3_Shift);
    levelThreeMask_ = levelThreeKey_ ? connection_.modifierMaskFor(XK_ISO_Level3_Shift) : 0;
    lockKeys_.clear();
    for (unsigned long lock : {XK_Caps_Lock, XK_Num_Lock, XK_Scroll_Lock}) {
        if (const int code = XKeysymToKeycode(display, lock))
            lockKeys_ << code;
    }
    spareKeys_.clear();
    if (!keymap_)
        return;
    // Keys that produce nothing at all, from the top: real keyboards leave the high key
    // codes unused.
    for (int code = keymap_->max_key_code; code >= keymap_->min_key_code; --code) {
        if (XkbKeyNumSyms(keymap_, code) == 0 && !lent_.values().contains(code))
            spareKeys_ << code;
    }
}

void X11KeySink::buildStrokes(unsigned lockedModifiers, int group)
{
    strokes_.clear();
    strokesLocks_ = lockedModifiers;
    strokesGroup_ = group;
    if (!keymap_)
        return;
    QList<unsigned> levels{0, ShiftMask};
    if (levelThreeMask_)
        levels << levelThreeMask_ << (levelThreeMask_ | ShiftMask);
    // The fewest modifiers first, then the lowest key: digits of the main row rather
    // than of the keypad.
    for (unsigned modifiers : levels) {
        for (int code = keymap_->min_key_code; code <= keymap_->max_key_code; ++code) {
            if (XkbKeyNumSyms(keymap_, code) == 0)
                continue;
            unsigned consumed = 0;
            KeySym symbol = NoSymbol;
            const unsigned state = XkbBuildCoreState(modifiers | lockedModifiers, group);
            if (!XkbTranslateKeyCode(keymap_, KeyCode(code), state, &consumed, &symbol) || symbol == NoSymbol)
                continue;
            if (!strokes_.contains(symbol))
                strokes_.insert(symbol, Stroke{code, modifiers});
        }
    }
}

bool X11KeySink::strokeFor(unsigned long keySym, Stroke& stroke)
{
    if (const auto lent = lent_.constFind(keySym); lent != lent_.cend()) {
        stroke = Stroke{*lent, 0};
        return true;
    }
    const auto found = strokes_.constFind(keySym);
    if (found == strokes_.cend())
        return false;
    stroke = *found;
    return true;
}

bool X11KeySink::lendSpareKey(unsigned long keySym, Stroke& stroke)
{
    if (spareKeys_.isEmpty()) {
        giveBackLentKeys();  // every spare key is lent: begin again with all of them
        loadKeymap();
        if (spareKeys_.isEmpty())
            return false;
    }
    const int code = spareKeys_.takeFirst();
    KeySym symbols[2] = {keySym, keySym};
    Display* display = connection_.display();
    XChangeKeyboardMapping(display, code, 2, symbols, 1);
    XSync(display, False);
    lent_.insert(keySym, code);
    RunLoop::pause(kLentKeySettleMsec);
    stroke = Stroke{code, 0};
    return true;
}

void X11KeySink::giveBackLentKeys(bool afterReading)
{
    if (lent_.isEmpty())
        return;
    if (afterReading)
        RunLoop::pause(kLentKeyReadMsec);
    Display* display = connection_.display();
    for (int code : std::as_const(lent_)) {
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display, code, 1, &none, 1);
        spareKeys_.append(code);
    }
    XSync(display, False);
    lent_.clear();
}

}  // namespace quorly
