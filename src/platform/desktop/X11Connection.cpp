#include "platform/desktop/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace quorly {

namespace {

// Errors are reported to one handler for the whole process. Errors of our connection
// are kept (or dropped) here; every other connection's go on to the handler that was
// installed before ours (Qt's, when it runs on xcb).
Display* gOurDisplay = nullptr;
XErrorHandler gPreviousHandler = nullptr;
QList<unsigned long>* gTrappedSerials = nullptr;

int onXError(Display* display, XErrorEvent* error)
{
    if (display == gOurDisplay) {
        if (gTrappedSerials)
            gTrappedSerials->append(error->serial);
        return 0;
    }
    return gPreviousHandler ? gPreviousHandler(display, error) : 0;
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open()
{
    if (gOurDisplay)
        return nullptr;  // one per process: the error handler knows only one
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    int opcode = 0, xkbEvent = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &xkbEvent, &error, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    auto connection = std::unique_ptr<X11Connection>(new X11Connection(display));
    connection->xkbEventType_ = xkbEvent;
    return connection;
}

X11Connection::X11Connection(Display* display) : display_(display)
{
    gOurDisplay = display;
    gPreviousHandler = XSetErrorHandler(onXError);
    root_ = DefaultRootWindow(display);
    auto* notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11Connection::processPendingEvents);
    // A reply read for one of our requests can bring events along into Xlib's queue
    // without the socket showing data again: they are handed out before the loop sleeps.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (XQLength(display_) > 0)
                QMetaObject::invokeMethod(this, &X11Connection::processPendingEvents, Qt::QueuedConnection);
        });
    }
}

X11Connection::~X11Connection()
{
    XCloseDisplay(display_);
    XSetErrorHandler(gPreviousHandler);
    gOurDisplay = nullptr;
    gPreviousHandler = nullptr;
}

unsigned X11Connection::modifierMaskFor(unsigned long keySym) const
{
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map)
        return 0;
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code && XkbKeycodeToKeysym(display_, code, 0, 0) == keySym) {
                mask = 1u << modifier;
                break;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

unsigned long X11Connection::topLevelOf(unsigned long window)
{
    ErrorTrap trap(*this);  // the window may be going away
    Window current = window;
    for (int depth = 0; depth < 64 && current; ++depth) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, current, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            return current == root ? 0 : current;
        current = parent;
    }
    return 0;
}

void X11Connection::releaseKeyboardGrab()
{
    XUngrabKeyboard(display_, CurrentTime);
    XSync(display_, False);
    emit keyboardGrabReleased();
}

void X11Connection::processPendingEvents()
{
    // A handler may run a nested event loop (a login sequence); the events that come in
    // meanwhile are read by the outer call when it continues.
    if (processing_)
        return;
    processing_ = true;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        for (const auto& handler : handlers_)
            handler(event);
    }
    processing_ = false;
}

X11Connection::ErrorTrap::ErrorTrap(X11Connection& connection) : connection_(connection)
{
    XSync(connection_.display_, False);
    gTrappedSerials = new QList<unsigned long>;
}

X11Connection::ErrorTrap::~ErrorTrap()
{
    XSync(connection_.display_, False);
    delete gTrappedSerials;
    gTrappedSerials = nullptr;
}

QList<unsigned long> X11Connection::ErrorTrap::sync()
{
    XSync(connection_.display_, False);
    return gTrappedSerials ? *gTrappedSerials : QList<unsigned long>();
}

}  // namespace quorly
