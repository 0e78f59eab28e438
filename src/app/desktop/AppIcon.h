#pragma once

#include <QIcon>

namespace quorly {

// The program's icon: the drawing of resources/icons/quorly.svg, painted here so that
// it shows without Qt's SVG support installed. The desktop entry's icon is the SVG
// itself, which the desktop renders on its own.
QIcon quorlyIcon();

}  // namespace quorly
