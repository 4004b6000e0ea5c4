#pragma once
// The help command: the program's help page opened in the desktop's browser.

#include <QString>

class QWidget;

namespace quillon {

// The help page beside the program, else the one in the installed data folder; the path beside
// the program when neither exists. Independent of the current directory.
QString helpFilePath();

// Opens the help page; what a missing page shows is the browser's concern. Where the desktop
// has nothing to open it with, a message box above parent gives the page's path instead.
void showHelp(QWidget* parent = nullptr);

} // namespace quillon
