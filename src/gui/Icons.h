#pragma once
// Button pictures: the desktop's icon theme where it has the icon, a bundled picture where not.

#include <QIcon>

namespace quillon {

// name: a freedesktop icon name such as "go-first" or "document-print".
QIcon themeIcon(const char* name);
// The program's own picture: the tray icon, the About box.
QIcon programIcon();

} // namespace quillon
