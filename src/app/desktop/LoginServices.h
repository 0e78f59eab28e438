#pragma once

#include "app/HotKeyInstaller.h"

#include <memory>

namespace quorly {

// Before the application object is made. On a Wayland session that has XWayland, the
// program's windows are X11 windows too, unless the user chose Qt's platform: the
// floating panels must stay above the browser without taking its focus, and the
// editor callout must place itself beside its row, and a Wayland client can do
// neither. (Hot keys and typing use a connection of their own either way.)
void preferX11Windows();

// Installs what the login sequences use on the desktop (the clipboard, the floating
// panels, the browsers and the built-in one, the X11 keys) and answers the
// controller's hot-key installer. At quit a
// secret still on the clipboard is taken off it.
std::unique_ptr<HotKeyInstaller> installLoginServices();

}  // namespace quorly
