#include "app/desktop/DesktopHotKeyInstaller.h"

#include "app/Preferences.h"
#include "login/HotKeyHandler.h"
#include "login/KeystrokeSynthesis.h"
#include "platform/desktop/PTKeyCodeTranslator.h"
#include "platform/desktop/X11Connection.h"
#include "platform/desktop/X11HotKeys.h"
#include "platform/desktop/X11KeySink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QWindow>

namespace quorly {

namespace {

// Keymap changes come in bursts (and the key sink lends keys for a moment): the keys
// are looked up again once the keymap has been still for a while.
constexpr int kRegrabDelayMsec = 300;

bool waylandSession()
{
    return qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void showMessageWindow(const QString& text)
{
    // Waits for no answer: a start-up goes on, and no modal run is held up by it.
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quorly"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace

DesktopHotKeyInstaller::DesktopHotKeyInstaller(std::unique_ptr<X11Connection> connection)
    : connection_(std::move(connection)), message_(showMessageWindow)
{
    regrab_.setSingleShot(true);
    regrab_.setInterval(kRegrabDelayMsec);
    connect(&regrab_, &QTimer::timeout, this, &DesktopHotKeyInstaller::keymapChanged);
    if (!connection_)
        return;
    PTKeyCodeTranslator::setConnection(connection_.get());
    hotKeys_ = std::make_unique<X11HotKeys>(*connection_);
    sink_ = std::make_shared<X11KeySink>(*connection_);
    X11Connection* x11 = connection_.get();
    sink_->setOwnWindowTest([x11](unsigned long topLevel) {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return QGuiApplication::focusWindow() != nullptr;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window->isVisible() && window->handle() && x11->topLevelOf(window->winId()) == topLevel)
                return true;
        }
        return false;
    });
    setKeySink(sink_);
    connect(hotKeys_.get(), &X11HotKeys::keymapChanged, &regrab_, qOverload<>(&QTimer::start));
}

DesktopHotKeyInstaller::~DesktopHotKeyInstaller()
{
    if (sink_)
        setKeySink(nullptr);
    hotKeys_.reset();
    sink_.reset();
    if (connection_)
        PTKeyCodeTranslator::setConnection(nullptr);
}

void DesktopHotKeyInstaller::installHandler()
{
    if (handlerInstalled_)
        return;
    handlerInstalled_ = true;
    if (hotKeys_)
        connect(hotKeys_.get(), &X11HotKeys::hotKeyPressed, this, [](int identifier) { hotKeyHandler(identifier); });
    if (!connection_) {
        tell(waylandSession()
                 ? tr("Quorly cannot use hot keys or type logins in this Wayland session: there is no X11 "
                      "display (XWayland) to reach. Everything else works; copy user IDs and passwords by hand.")
                 : tr("Quorly cannot reach the X server's keyboard, so its hot keys and the typing of logins do "
                      "not work. Everything else works."));
        return;
    }
    // Said once per user: it describes the session, not an error of this run.
    const QString shown = QStringLiteral("waylandNoteShown");
    if (waylandSession() && !Preferences::boolean(shown)) {
        Preferences::setBool(shown, true);
        tell(tr("This is a Wayland session. Quorly's hot keys and the typing of logins work only while a "
                "program that uses X11 (XWayland) is in front, as Chromium and Firefox are in their usual "
                "set-up. Programs that run as Wayland windows do not receive them. Everything else works as "
                "usual."));
    }
}

void DesktopHotKeyInstaller::registerHotKeys()
{
    gPasteCode = -1;
    const QString userIDKey = Preferences::string(PrefKey::HotkeyUserID);
    const QString passwordKey = Preferences::string(PrefKey::HotkeyPassword);
    const int userIDFlags = int(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags));
    const int passwordFlags = int(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags));
    table_ = findHotKeyCodes(PTKeyCodeTranslator::currentTranslator(), userIDKey, userIDFlags, passwordKey,
                             passwordFlags);
    gPasteCode = table_.pasteCode;
    if (!hotKeys_)
        return;
    for (int refused : hotKeys_->grab(table_.grabs())) {
        const bool userID = refused <= 2;
        const QString key = describeHotKey(userID ? userIDKey : passwordKey, userID ? userIDFlags : passwordFlags);
        if (told_.contains(key))
            continue;
        told_.insert(key);
        tell(tr("The hot key %1 for %2 is already taken by another program, so Quorly cannot use it. Choose "
                "another one in Quorly's preferences, or free it in the other program and start Quorly again.")
                 .arg(key, userID ? tr("typing the user ID") : tr("typing the password")));
    }
}

void DesktopHotKeyInstaller::unRegisterHotKeys()
{
    if (hotKeys_)
        hotKeys_->ungrabAll();
}

QList<HotKeyGrab> DesktopHotKeyInstaller::grabbed() const
{
    return hotKeys_ ? hotKeys_->grabbed() : QList<HotKeyGrab>();
}

void DesktopHotKeyInstaller::keymapChanged()
{
    // Only when the keys of the characters moved: a key lent for typing a character
    // changes the keymap too, and must not make the grabs come and go.
    const HotKeyTable now = findHotKeyCodes(
        PTKeyCodeTranslator::currentTranslator(), Preferences::string(PrefKey::HotkeyUserID),
        int(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags)), Preferences::string(PrefKey::HotkeyPassword),
        int(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags)));
    gPasteCode = now.pasteCode;
    if (now.grabs() == table_.grabs())
        return;
    unRegisterHotKeys();
    registerHotKeys();
}

void DesktopHotKeyInstaller::tell(const QString& text)
{
    if (message_)
        message_(text);
}

}  // namespace quorly
