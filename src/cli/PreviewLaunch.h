#pragma once
// quillon-render --preview: the window is the program quillon-preview, found beside this program
// (the build folder) or where it is installed, and started in this program's place.

namespace quillon {

// Replaces this process with quillon-preview and the same arguments; returns only when that
// cannot be done, with the exit status after saying why on stderr.
int launchPreview(char** argv);

} // namespace quillon
