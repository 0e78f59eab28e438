#include "app/desktop/LoginServices.h"

#include "app/desktop/DesktopHotKeyInstaller.h"
#include "login/LoginPanels.h"
#include "login/desktop/FloatingPanelWindows.h"
#include "platform/Clipboard.h"
#include "platform/desktop/QtClipboard.h"
#include "platform/desktop/X11Connection.h"

#include <QCoreApplication>

namespace quorly {

void preferX11Windows()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

std::unique_ptr<HotKeyInstaller> installLoginServices()
{
    setClipboard(std::make_shared<QtClipboard>());
    setFloatingPanels(std::make_shared<FloatingPanelWindows>());
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
        // Whatever a clipboard manager would otherwise be handed at exit must not be a
        // password; a newer copy of the user's stays.
        clipboard().clearIfStillOurs();
        setFloatingPanels(nullptr);
    });
    return std::make_unique<DesktopHotKeyInstaller>(X11Connection::open());
}

}  // namespace quorly
