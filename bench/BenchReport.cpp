#include "BenchReport.h"

#include "BenchOptions.h"
#include "Measure.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace quillon::bench {

void reportLine(const char* label, const char* format, ...)
{
    std::printf("  %-16s ", label);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

void reportSpread(const char* what, std::vector<double> milliseconds, const char* counted)
{
    if (milliseconds.empty()) {
        std::printf("%-36s no %s\n", what, counted);
        return;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const size_t n = milliseconds.size();
    std::printf("%-36s median %8.3f ms  p90 %8.3f ms  min %8.3f ms  max %8.3f ms  (%zu %s)\n", what,
                median(milliseconds), milliseconds[std::min(n - 1, n * 9 / 10)], milliseconds.front(),
                milliseconds.back(), n, counted);
    std::fflush(stdout);
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", benchProgram(), message.c_str());
    return 1;
}

} // namespace quillon::bench
