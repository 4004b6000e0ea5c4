#pragma once
// What the benchmarks measure with: wall time, this process's CPU time and resident set, and one
// job run in a forked child so that the child's peak RSS and CPU time are the job's own.

#include "posix/DescriptorIo.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// This process's CPU time so far, user and system.
double cpuSeconds();

// The resident set of this process now, in KiB (0 when /proc cannot tell).
int64_t residentKiB();

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double median(std::vector<double> values);

// The median of one figure of a benchmark's runs: field(run) for each.
template <class Run, class Field>
double medianOf(const std::vector<Run>& runs, Field&& field)
{
    std::vector<double> values;
    for (const Run& r : runs)
        values.push_back(double(field(r)));
    return median(std::move(values));
}

// A child's memory and CPU figures. startRssKiB is the child's own report of its resident set when
// its job began; the rest come from wait4().
struct ChildUsage {
    int64_t startRssKiB = 0;
    int64_t peakRssKiB = 0; // ru_maxrss: KiB on Linux
    double userSeconds = 0;
    double systemSeconds = 0;

    int64_t growthKiB() const { return peakRssKiB - startRssKiB; }
    double cpuSeconds() const { return userSeconds + systemSeconds; }
};

// Runs work() in a forked child and brings its result back through a pipe; Result must be
// trivially copyable. False when the child could not be started or did not finish normally (then
// error says why); the child's peak RSS and CPU time are in usage either way when it was waited for.
template <class Work, class Result = std::invoke_result_t<Work&>>
bool runInChild(Work&& work, Result& result, ChildUsage& usage, std::string& error)
{
    static_assert(std::is_trivially_copyable_v<Result>, "the result crosses a pipe");
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        Result r = work();
        bool sent = writeFully(pipeFds[1], &r, sizeof r);
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipeFds[1]);
    bool received = readFully(pipeFds[0], &result, sizeof result) == sizeof result;
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage ru {};
    pid_t waited;
    do {
        waited = ::wait4(pid, &status, 0, &ru);
    } while (waited < 0 && errno == EINTR);
    usage.peakRssKiB = ru.ru_maxrss;
    usage.userSeconds = double(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec / 1e6;
    usage.systemSeconds = double(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec / 1e6;
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !received) {
        error = "the job's child process did not finish (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

// A job measured in a forked child: its result (with an error text and the child's usage: fields
// error and usage, whose startRssKiB the job fills in), an exception turned into the error text.
template <class Result, class Job>
Result measuredInChild(Job&& job)
{
    auto work = [&] {
        Result r;
        try {
            r = job();
        } catch (const std::exception& e) {
            std::snprintf(r.error, sizeof r.error, "%s", e.what());
        }
        return r;
    };
    Result r;
    ChildUsage usage;
    std::string error;
    if (!runInChild(work, r, usage, error)) {
        Result failed;
        std::snprintf(failed.error, sizeof failed.error, "%s", error.c_str());
        return failed;
    }
    usage.startRssKiB = r.usage.startRssKiB;
    r.usage = usage;
    return r;
}

} // namespace quillon::bench
