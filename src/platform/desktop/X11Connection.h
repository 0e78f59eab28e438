#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace quorly {

// The program's own connection to the X server, for the global hot keys, synthetic keys
// and the keyboard layout. It is ours whatever Qt runs its windows on (xcb, or Wayland
// with XWayland beside it), so the login automation does not depend on Qt's platform,
// and an error the server answers (a grab another program holds) is caught here
// instead of ending the program or being printed by Qt.
class X11Connection : public QObject {
    Q_OBJECT
public:
    // Opens the display named by $DISPLAY; nullptr when there is none, or it has no
    // XTest or XKB.
    static std::unique_ptr<X11Connection> open();
    ~X11Connection() override;

    Display* display() const { return display_; }
    unsigned long root() const { return root_; }
    int xkbEventType() const { return xkbEventType_; }

    // The modifier bit that the key producing `keySym` sets (Super_L: Mod4 on most
    // keymaps), or 0 when no modifier key produces it.
    unsigned modifierMaskFor(unsigned long keySym) const;

    // The top-level window (a child of the root: the window manager's frame, or the
    // window itself without one) that holds `window`; 0 for none or when it is gone.
    unsigned long topLevelOf(unsigned long window);

    // Ends the keyboard grab that a hot key's press started, before its key is released;
    // that release then goes elsewhere.
    void releaseKeyboardGrab();

    // Reads and hands out every event already received; called by itself whenever the
    // socket has data or before the event loop sleeps.
    void processPendingEvents();

    // Every event read from the connection passes through each handler, in order.
    void addEventHandler(std::function<void(XEvent&)> handler) { handlers_.append(std::move(handler)); }

    // Collects the errors of the requests sent while it lives, instead of the default
    // handling (which would end the process).
    class ErrorTrap {
    public:
        explicit ErrorTrap(X11Connection& connection);
        ~ErrorTrap();
        ErrorTrap(const ErrorTrap&) = delete;
        ErrorTrap& operator=(const ErrorTrap&) = delete;
        // Waits for the server to have handled every request, then answers the serial
        // numbers of the requests it refused.
        QList<unsigned long> sync();

    private:
        X11Connection& connection_;
    };

signals:
    void keyboardGrabReleased();

private:
    explicit X11Connection(Display* display);

    Display* display_;
    unsigned long root_ = 0;
    int xkbEventType_ = -1;
    QList<std::function<void(XEvent&)>> handlers_;
    bool processing_ = false;
};

}  // namespace quorly
