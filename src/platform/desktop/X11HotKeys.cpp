#include "platform/desktop/X11HotKeys.h"

#include "platform/desktop/PTKeyCodeTranslator.h"
#include "platform/desktop/X11Connection.h"

#include <QHash>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quorly {

namespace {

// The modifier state bits that say nothing about which hot key was meant.
unsigned significant(unsigned state, unsigned ignored)
{
    return state & ~ignored & (ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask);
}

}  // namespace

X11HotKeys::X11HotKeys(X11Connection& connection) : connection_(connection)
{
    Display* display = connection_.display();
    // Held keys repeat as presses only, without a release before each: a hot key held
    // down fires once.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display, True, &supported);
    XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XFlush(display);
    connection_.addEventHandler([this](XEvent& event) { handle(event); });
    // Its key's release will not come to us.
    connect(&connection_, &X11Connection::keyboardGrabReleased, this, [this] { held_.clear(); });
}

X11HotKeys::~X11HotKeys()
{
    ungrabAll();
}

unsigned X11HotKeys::xModifiers(int flags) const
{
    unsigned mask = 0;
    if (flags & HotKeyModifier::Command) {
        const unsigned super = connection_.modifierMaskFor(XK_Super_L);
        mask |= super ? super : Mod4Mask;
    }
    if (flags & HotKeyModifier::Option) {
        const unsigned alt = connection_.modifierMaskFor(XK_Alt_L);
        mask |= alt ? alt : Mod1Mask;
    }
    if (flags & HotKeyModifier::Control)
        mask |= ControlMask;
    if (flags & HotKeyModifier::Shift)
        mask |= ShiftMask;
    return mask;
}

QList<unsigned> X11HotKeys::lockCombinations() const
{
    const unsigned numLock = connection_.modifierMaskFor(XK_Num_Lock);
    QList<unsigned> combinations{0, LockMask};
    if (numLock)
        combinations << numLock << (numLock | LockMask);
    return combinations;
}

QList<int> X11HotKeys::grab(const QList<HotKeyGrab>& grabs)
{
    Display* display = connection_.display();
    const QList<unsigned> locks = lockCombinations();
    QHash<unsigned long, int> requestOf;  // request serial -> index in grabs
    {
        X11Connection::ErrorTrap trap(connection_);
        for (int i = 0; i < grabs.size(); ++i) {
            const unsigned modifiers = xModifiers(grabs[i].modifierFlags);
            for (unsigned lock : locks) {
                requestOf.insert(NextRequest(display), i);
                XGrabKey(display, grabs[i].keyCode, modifiers | lock, connection_.root(), False, GrabModeAsync,
                         GrabModeAsync);
            }
        }
        QSet<int> refused;
        for (unsigned long serial : trap.sync())
            refused.insert(requestOf.value(serial, -1));
        QList<int> refusedIdentifiers;
        for (int i = 0; i < grabs.size(); ++i) {
            if (!refused.contains(i)) {
                grabbed_.append(grabs[i]);
                continue;
            }
            // Part of a combination is no use: the key would work only with some locks.
            const unsigned modifiers = xModifiers(grabs[i].modifierFlags);
            for (unsigned lock : locks)
                XUngrabKey(display, grabs[i].keyCode, modifiers | lock, connection_.root());
            refusedIdentifiers.append(grabs[i].identifier);
        }
        trap.sync();
        return refusedIdentifiers;
    }
}

void X11HotKeys::ungrabAll()
{
    if (grabbed_.isEmpty())
        return;
    Display* display = connection_.display();
    const QList<unsigned> locks = lockCombinations();
    X11Connection::ErrorTrap trap(connection_);
    for (const HotKeyGrab& grab : std::as_const(grabbed_)) {
        const unsigned modifiers = xModifiers(grab.modifierFlags);
        for (unsigned lock : locks)
            XUngrabKey(display, grab.keyCode, modifiers | lock, connection_.root());
    }
    grabbed_.clear();
    held_.clear();
}

void X11HotKeys::handle(XEvent& event)
{
    if (event.type == connection_.xkbEventType()) {
        const auto& xkb = reinterpret_cast<XkbAnyEvent&>(event);
        if (xkb.xkb_type == XkbNewKeyboardNotify || xkb.xkb_type == XkbMapNotify) {
            PTKeyCodeTranslator::keymapChanged();
            emit keymapChanged();
        }
        return;
    }
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    if (event.type == KeyRelease) {
        held_.remove(int(event.xkey.keycode));
        return;
    }
    if (event.type != KeyPress)
        return;
    const int code = int(event.xkey.keycode);
    if (held_.contains(code))
        return;
    const unsigned locks = LockMask | connection_.modifierMaskFor(XK_Num_Lock);
    for (const HotKeyGrab& grab : std::as_const(grabbed_)) {
        if (grab.keyCode == code && significant(event.xkey.state, locks) == xModifiers(grab.modifierFlags)) {
            held_.insert(code);
            // The sequence runs from the event loop, never inside the reading of events.
            QMetaObject::invokeMethod(
                this, [this, identifier = grab.identifier] { emit hotKeyPressed(identifier); }, Qt::QueuedConnection);
            return;
        }
    }
}

}  // namespace quorly
