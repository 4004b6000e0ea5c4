#pragma once
// Button pictures: the desktop's icon theme where it has the icon, a bundled picture where not.

#include <QIcon>

namespace quillon {

// name: a freedesktop icon name such as "go-first" or "document-print".
QIcon themeIcon(const char* name);
// The installed theme's name of the program's picture (share/icons/hicolor/*/apps).
constexpr const char* kProgramIconName = "quillon-print";
// The program's own picture: the tray icon, the About box. It carries the theme name, so a
// desktop that shows tray items by name finds the installed icon; its pixmaps are the bundled
// ones, so it shows the same where the icon is not installed.
QIcon programIcon();

} // namespace quillon
