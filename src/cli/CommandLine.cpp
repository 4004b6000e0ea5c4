#include "CommandLine.h"

#include "QuillonVersion.h"

#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

std::optional<CommandLine> readCommandLine(int argc, char** argv, int& status)
{
    std::string error;
    std::optional<CommandLine> line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!line) {
        std::fprintf(stderr, "quillon-render: %s\n%s", error.c_str(), kRenderUsage);
        status = 2;
        return std::nullopt;
    }
    if (line->command == CommandLine::Version) {
        std::printf("quillon-render %s\n", kVersion);
        status = 0;
        return std::nullopt;
    }
    return line;
}

} // namespace quillon
