#pragma once
// The help command: the program's help page opened in the desktop's browser.

#include <QString>

namespace quillon {

// The help page beside the program, else the one in the installed data folder; the path beside
// the program when neither exists. Independent of the current directory.
QString helpFilePath();

// Opens the help page; what a missing page shows is the browser's concern.
void showHelp();

} // namespace quillon
