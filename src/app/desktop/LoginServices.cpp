#include "app/desktop/LoginServices.h"

#include "app/desktop/DesktopHotKeyInstaller.h"
#include "login/LoginPanels.h"
#include "login/desktop/CWBrowser.h"
#include "login/desktop/FloatingPanelWindows.h"
#include "platform/Clipboard.h"
#include "platform/desktop/QtClipboard.h"
#include "platform/Workspace.h"
#include "platform/desktop/X11Connection.h"

#include <QCoreApplication>

namespace quorly {

namespace {

bool gChoseX11Windows = false;

}  // namespace

void preferX11Windows()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        gChoseX11Windows = true;
    }
}

std::unique_ptr<HotKeyInstaller> installLoginServices()
{
    setClipboard(std::make_shared<QtClipboard>());
    setFloatingPanels(std::make_shared<FloatingPanelWindows>());
    auto browsers = std::make_shared<XdgWorkspace>();
    if (gChoseX11Windows)
        browsers->setVariablesToDrop({QStringLiteral("QT_QPA_PLATFORM")});  // ours, not the browser's
    setWorkspace(browsers);
    setCWBrowserMaker([]() -> CWBrowserDocument* { return CWBrowser::make(); });
    setKeyWindowCWBrowserLookup([]() -> CWBrowserDocument* { return CWBrowser::keyWindowBrowser(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
        // Whatever a clipboard manager would otherwise be handed at exit must not be a
        // password; a newer copy of the user's stays.
        clipboard().clearIfStillOurs();
        setFloatingPanels(nullptr);
    });
    return std::make_unique<DesktopHotKeyInstaller>(X11Connection::open());
}

}  // namespace quorly
