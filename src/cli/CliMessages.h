#pragma once
// How quillon-render and its preview window speak on the terminal.

#include <string>

namespace quillon {

// Each line of text on stderr, after the program's name.
void complain(const std::string& text);

// Hides Qt's remark about a missing runtime folder, which means nothing to a program started
// from a terminal or a service; every other message goes to Qt's own handler.
void quietQtMessages();

// Whether a window can be shown: a platform chosen by the user, or an X or Wayland session.
bool displayAvailable();

} // namespace quillon
