#include "CliMessages.h"

#include <cstdio>
#include <sstream>

namespace quillon {

void complain(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        std::fprintf(stderr, "quillon-render: %s\n", line.c_str());
}

} // namespace quillon
