#pragma once
// What the benchmarks share: a realistic spool stream generated in memory (N pages of 66 lines of
// 80 columns, mixed pitches and attributes, CP852 text and box drawing) with what each page must
// show, a byte source that reads it from memory, a work folder, and running one measured job in a
// forked child so that the child's peak RSS and CPU time are the job's own.

#include "escp/ByteSource.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include "posix/DescriptorIo.h"

#include <cstdio>
#include <exception>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::bench {

constexpr int kLinesPerPage = 66;
constexpr int kColumns = 80;

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Figures as the reports give them: bytes in MB, KiB in MiB.
inline double mb(double bytes) { return bytes / 1e6; }
inline double mib(double kib) { return kib / 1024.0; }

// ---------------------------------------------------------------------------------------------
// The spool stream

// What one page must show once rendered: its printable bytes in drawing order.
struct PageExpectation {
    uint32_t chars = 0;
    uint64_t hash = 14695981039346656037ull; // FNV-1a 64 of the printable bytes
};

inline void hashByte(PageExpectation& page, uint8_t b)
{
    page.hash = (page.hash ^ b) * 1099511628211ull;
    ++page.chars;
}

struct SpoolStream {
    std::string bytes;
    std::vector<PageExpectation> pages;
};

// Generates the stream: a printer reset, 8 lines per inch, then pages of kLinesPerPage lines of
// exactly kColumns columns, each page ended by a form feed. The same page count always gives the
// same bytes.
class SpoolGenerator {
public:
    SpoolStream generate(int pageCount);

private:
    void control(std::string_view bytes) { m_out->append(bytes); }
    void box(uint8_t b, int count);
    void text(int count);
    void writeLine(long line);

    std::string* m_out = nullptr;
    PageExpectation* m_page = nullptr;
    size_t m_textPos = 0;
};

// The spool stream of a job, read from memory.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view data) : m_data(data) {}
    size_t read(char* buffer, size_t size) override;

private:
    std::string_view m_data;
    size_t m_pos = 0;
};

// ---------------------------------------------------------------------------------------------
// Small helpers

// The resident set of this process now, in KiB (0 when /proc cannot tell).
int64_t residentKiB();

// write() and read() of the whole buffer, retried after signals. False on an error or end of file.

double median(std::vector<double> values);

// A whole decimal number within low..high, or nothing.
std::optional<int> number(const char* text, int low, int high);

// The options both benchmarks take: --pages N, --repeat K, --out DIR, --help, and one flag of
// the program's own (extraFlag, e.g. "--memory").
struct BenchOptions {
    int pages = 0;
    int repeat = 1;
    std::string out;
    bool extra = false;
};

// Nothing on a bad argument (after saying what is wrong); --help prints the usage and exits.
std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, const char* program, int defaultPages,
                                              const char* extraFlag, void (*usage)(FILE*));

// The folder of a run: the one given (created if need be), or a new one under /tmp that goes away
// with the run. path() is empty when neither could be had.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& out);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const char* name) const { return m_path + "/" + name; }
    void remove(const char* name) const;
    // Writes back whatever is still dirty on the folder's file system, so that a timed phase
    // does not share the disk with the write-back of the one before it.
    void settle() const;

private:
    std::string m_path;
    bool m_owned = false;
};

// ---------------------------------------------------------------------------------------------
// One job in a forked child

// How the child ended, from wait4().
struct ChildUsage {
    int status = 0;
    int64_t peakRssKiB = 0; // ru_maxrss: KiB on Linux
    double userSeconds = 0;
    double systemSeconds = 0;
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
    usage.status = status;
    usage.peakRssKiB = ru.ru_maxrss;
    usage.userSeconds = double(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec / 1e6;
    usage.systemSeconds = double(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec / 1e6;
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !received) {
        error = "the job's child process did not finish (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

// A job measured in a forked child: its result (with an error text and usage fields: error,
// peakRssKiB, userSeconds, systemSeconds), an exception turned into the error text.
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
    r.peakRssKiB = usage.peakRssKiB;
    r.userSeconds = usage.userSeconds;
    r.systemSeconds = usage.systemSeconds;
    return r;
}

} // namespace quillon::bench
