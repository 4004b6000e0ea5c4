#pragma once
// quillon-render's programs of its own, each started in its place with the same arguments: the
// renderer that draws (quillon-draw) and the preview window (quillon-preview). They are found beside
// the running program (the build folder, or each other) or where they are installed.

namespace quillon {

// Replaces this process with program and the same arguments; returns only when that cannot be
// done, with the exit status after saying why on stderr (what names what could not be started).
int runInstead(const char* program, const char* what, char** argv);

} // namespace quillon
