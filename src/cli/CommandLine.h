#pragma once
// quillon-render's command line as both of its programs read it.

#include "RenderOptions.h"

#include <optional>

namespace quillon {

// The command line of argv; nothing when the run ends here, with status set: the usage was
// printed for a bad command line (2), or the version for --version (0).
std::optional<CommandLine> readCommandLine(int argc, char** argv, int& status);

} // namespace quillon
