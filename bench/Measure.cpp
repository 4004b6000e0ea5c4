#include "Measure.h"

#include <algorithm>
#include <ctime>

namespace quillon::bench {

double cpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

int64_t residentKiB()
{
    long size = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
        resident = 0;
    std::fclose(f);
    return int64_t(resident) * sysconf(_SC_PAGESIZE) / 1024;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace quillon::bench
