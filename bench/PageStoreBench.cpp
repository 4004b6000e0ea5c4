// How fast the print engine turns a spool stream into a page store.
//
// A spool stream of N pages (66 lines of 80 columns each, mixed pitches and attributes, CP852 text
// and box drawing) is generated in memory and run through one job exactly as the command-line
// renderer wires it, with the spool read from memory so that the file system only sees the page
// store. The run happens in a forked child, so that the child's peak RSS is the job's own. Then the
// same number of bytes is written with plain write() calls for comparison. The store is read back
// to check that every page holds what was generated: no line cut, one stream page per stored page.
//
// It measures and reports; it never judges the times.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "Measure.h"
#include "SpoolGenerator.h"
#include "WorkFolder.h"

#include "gdi/ByteIO.h"
#include "gdi/EmfFormat.h"
#include "intake/PrintEngine.h"
#include "posix/PosixFileAccess.h"
#include "report/PageStore.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kDefaultPages = 10000;
constexpr int kSmallPages = 100;
constexpr size_t kPlainWriteChunk = 64 * 1024;
constexpr const char* kStoreName = "preview.vxr";
constexpr const char* kPlainName = "plain.bin";

// ---------------------------------------------------------------------------------------------
// The job, in a forked child

struct EngineResult {
    int ok = 0;
    int32_t pages = 0;
    double seconds = 0;
    int64_t storeBytes = 0;
    ChildUsage usage; // startRssKiB: the child's resident set when it began
    double jobCpuSeconds = 0; // user and system, of the job alone (not the child's start and end)
    char error[512] = {};
};

// One job into the page store at storePath, wired as the command-line renderer wires it.
EngineResult runJob(std::string_view spool, const std::string& storePath)
{
    EngineResult r;
    r.usage.startRssKiB = residentKiB();

    TSettings settings;
    settings.Preview = true;
    std::string_view header = spool.substr(0, 16);

    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    SheetOnlyPrinter printer(21000, 29700);
    MemoryByteSource source(spool);
    PosixFileAccess files(fs::path(storePath).parent_path().string());
    SilentProgress silent;
    PrintEngine engine(settings, printer, files, silent);
    TVxReport& report = engine.report();
    report.ReportFile = storePath;

    const bool ok = engine.runJob(source, header, "bench.prn");
    r.seconds = secondsSince(start);
    r.jobCpuSeconds = cpuSeconds() - cpuStart;
    if (!ok) {
        std::snprintf(r.error, sizeof r.error, "%s: %s", report.ErrorClassName().c_str(),
                      report.ErrorMessage().c_str());
        return r;
    }
    r.pages = report.PageNo();
    struct stat st;
    if (::stat(storePath.c_str(), &st) != 0) {
        std::snprintf(r.error, sizeof r.error, "no page store at %s", storePath.c_str());
        return r;
    }
    r.storeBytes = int64_t(st.st_size);
    r.ok = 1;
    return r;
}

// Runs the job in a child process; its peak RSS comes from wait4(), so nothing the parent does
// before or after (generating the stream, checking the store, the plain write) is counted.
EngineResult runJobInChild(std::string_view spool, const std::string& storePath)
{
    return measuredInChild<EngineResult>([&] { return runJob(spool, storePath); });
}

// ---------------------------------------------------------------------------------------------
// Checking the store

// Reads the store back through the program's own reader and compares every page with what the
// stream put on it: as many stored pages as stream pages, and on each page the same printable
// bytes in the same order (a cut line loses characters, a page break in the wrong place moves
// them to another page). Returns the reason of the first difference, or nothing.
std::optional<std::string> checkStore(const std::string& storePath,
                                      const std::vector<PageExpectation>& expected,
                                      uint64_t& charsDrawn)
{
    charsDrawn = 0;
    PosixFileAccess files(fs::path(storePath).parent_path().string());
    std::unique_ptr<InputFile> file;
    std::vector<TVxPageRecord> index;
    StoreOpenResult opened = openPageStore(files, storePath, storePath, file, index);
    if (opened.status != StoreStatus::Ok)
        return "the page store cannot be opened: " + opened.message;
    if (index.size() != expected.size())
        return "the store holds " + std::to_string(index.size()) + " pages, the stream has "
             + std::to_string(expected.size());

    std::vector<uint8_t> picture;
    for (size_t p = 0; p < index.size(); ++p) {
        const std::string where = "page " + std::to_string(p + 1) + ": ";
        std::string error;
        if (!readStoredPicture(*file, index[p], picture, error))
            return where + error;
        PageExpectation got;
        ByteReader in(picture);
        while (in.remaining() > 0) {
            const size_t at = in.position();
            const uint32_t type = in.u32();
            const uint32_t size = in.u32();
            if (!in.ok() || size < 8 || size % 4 != 0 || size > picture.size() - at)
                return where + "a record at byte " + std::to_string(at) + " does not fit";
            if (type == emf::EMR_EXTTEXTOUTA) {
                ByteReader rec(std::span<const uint8_t>(picture).subspan(at, size));
                rec.seek(44);
                const uint32_t count = rec.u32();
                const uint32_t offString = rec.u32();
                rec.seek(offString);
                std::span<const uint8_t> chars = rec.bytes(count);
                if (!rec.ok())
                    return where + "a text record's string lies outside it";
                for (uint8_t b : chars)
                    hashByte(got, b);
            }
            in.seek(at + size);
            if (type == emf::EMR_EOF)
                break;
        }
        charsDrawn += got.chars;
        if (got.chars != expected[p].chars)
            return where + std::to_string(got.chars) + " characters drawn, "
                 + std::to_string(expected[p].chars) + " generated";
        if (got.hash != expected[p].hash)
            return where + "the characters drawn differ from the ones generated";
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// The plain write

struct PlainWrite {
    double seconds = 0;
    double cpuSeconds = 0;
};

std::optional<PlainWrite> timePlainWrite(const std::string& path, int64_t bytes)
{
    std::vector<char> chunk(kPlainWriteChunk);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = char(i * 131 + 7);
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::nullopt;
    int64_t left = bytes;
    bool ok = true;
    while (ok && left > 0) {
        size_t n = size_t(std::min<int64_t>(left, int64_t(chunk.size())));
        ok = writeFully(fd, chunk.data(), n);
        left -= int64_t(n);
    }
    ok = ::close(fd) == 0 && ok;
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    if (!ok)
        return std::nullopt;
    return PlainWrite{seconds, cpu};
}
// ---------------------------------------------------------------------------------------------
// The program

struct Options : RunOptions {
    bool memory = false;
};

Options parseOptions(int argc, char** argv)
{
    Options o;
    o.pages = kDefaultPages;
    std::vector<BenchOption> rows = runOptionRows(o, "pages of the generated spool stream",
                                                  "folder for the page store and the plain-write file (default: a new\n"
                                                  "folder under /tmp); the files are removed afterwards");
    rows.push_back({"--memory", &o.memory,
                    "peak RSS growth of one job for " + std::to_string(kSmallPages) + " pages and for N pages"});
    parseBenchOptions("quillon-bench-pagestore", argc, argv, rows);
    return o;
}

// One job over the stream, checked against it. Leaves the store in place.
std::optional<EngineResult> measuredJob(const SpoolStream& spool, const WorkFolder& folder,
                                        std::string& error)
{
    folder.settle();
    EngineResult r = runJobInChild(spool.bytes, folder.file(kStoreName));
    if (!r.ok) {
        error = std::string("the job failed: ") + r.error;
        return std::nullopt;
    }
    if (size_t(r.pages) != spool.pages.size()) {
        error = "the job made " + std::to_string(r.pages) + " pages of a "
              + std::to_string(spool.pages.size()) + "-page stream";
        return std::nullopt;
    }
    uint64_t chars = 0;
    if (auto wrong = checkStore(folder.file(kStoreName), spool.pages, chars)) {
        error = "the page store differs from the stream: " + *wrong;
        return std::nullopt;
    }
    return r;
}

int runMemory(const Options& o, const WorkFolder& folder)
{
    const int sizes[2] = {std::min(kSmallPages, o.pages), o.pages};
    int64_t growth[2] = {};
    std::printf("Peak RSS growth of one job (spool in memory -> page store), measured in a forked\n"
                "child: ru_maxrss from wait4() minus the child's resident set when it began\n");
    for (int i = 0; i < 2; ++i) {
        std::string error;
        std::optional<EngineResult> r;
        {
            SpoolStream spool = SpoolGenerator().generate(sizes[i]);
            r = measuredJob(spool, folder, error);
        }
        folder.remove(kStoreName);
        if (!r)
            return fail(error);
        growth[i] = r->usage.growthKiB();
        std::printf("  %7d pages   %8.2f MiB   (child: %.2f MiB at start, %.2f MiB peak; job %.3f s)\n",
                    sizes[i], mib(double(growth[i])), mib(double(r->usage.startRssKiB)),
                    mib(double(r->usage.peakRssKiB)), r->seconds);
    }
    std::printf("  difference      %8.2f MiB   (%d pages minus %d pages)\n",
                mib(double(growth[1] - growth[0])), sizes[1], sizes[0]);
    return 0;
}

// The runs of the speed measurement: each job and the plain write of its bytes.
struct SpeedRun {
    EngineResult job;
    PlainWrite plain;
};

// o.repeat runs over spool; the reason when one failed.
std::optional<std::string> measureSpeed(const Options& o, const WorkFolder& folder, const SpoolStream& spool,
                                        std::vector<SpeedRun>& runs)
{
    for (int k = 0; k < o.repeat; ++k) {
        std::string error;
        std::optional<EngineResult> r = measuredJob(spool, folder, error);
        // The store goes before the plain write, so that its dirty pages do not weigh on that.
        folder.remove(kStoreName);
        if (!r)
            return error;
        folder.settle();
        std::optional<PlainWrite> plain = timePlainWrite(folder.file(kPlainName), r->storeBytes);
        const int writeError = errno;
        folder.remove(kPlainName);
        if (!plain)
            return "the plain write into " + folder.file(kPlainName) + " failed: " + std::strerror(writeError);
        runs.push_back({*r, *plain});
    }
    return std::nullopt;
}

void reportSpeed(const Options& o, const WorkFolder& folder, const SpoolStream& spool,
                 const std::vector<SpeedRun>& runs)
{
    const EngineResult& first = runs.front().job;
    const double bytes = double(first.storeBytes);
    const double engine = medianOf(runs, [](const SpeedRun& r) { return r.job.seconds; });
    const double engineCpu = medianOf(runs, [](const SpeedRun& r) { return r.job.jobCpuSeconds; });
    const double plain = medianOf(runs, [](const SpeedRun& r) { return r.plain.seconds; });
    const double plainCpu = medianOf(runs, [](const SpeedRun& r) { return r.plain.cpuSeconds; });

    std::printf("Page-store benchmark: %d pages of %d lines x %d columns (mixed pitches and "
                "attributes)\n",
                first.pages, kLinesPerPage, kColumns);
    reportLine("spool stream", "%.2f MB, in memory", mb(double(spool.bytes.size())));
    reportLine("folder", "%s", folder.path().c_str());
    if (o.repeat > 1) {
        std::printf("  %d runs; figures are medians. Per run (engine s / plain s):", o.repeat);
        for (const SpeedRun& r : runs)
            std::printf(" %.3f/%.3f", r.job.seconds, r.plain.seconds);
        std::printf("\n");
    }
    std::printf("Engine: one job, spool -> page store\n");
    reportLine("wall time", "%.3f s (the child's CPU: %.3f s user, %.3f s system; the job's alone %.3f s)", engine,
               medianOf(runs, [](const SpeedRun& r) { return r.job.usage.userSeconds; }),
               medianOf(runs, [](const SpeedRun& r) { return r.job.usage.systemSeconds; }), engineCpu);
    reportLine("pages/s", "%.0f", first.pages / engine);
    reportLine("bytes written", "%lld (%.2f MB, %.1f KB a page)", (long long)first.storeBytes, mb(bytes),
               bytes / first.pages / 1e3);
    reportLine("throughput", "%.1f MB/s", mb(bytes) / engine);
    reportLine("peak RSS growth", "%.2f MiB (in a forked child)",
               mib(medianOf(runs, [](const SpeedRun& r) { return r.job.usage.growthKiB(); })));
    std::printf("Plain write() of the same bytes, %zu KiB a call, no fsync\n", kPlainWriteChunk / 1024);
    reportLine("wall time", "%.3f s (CPU: %.3f s)", plain, plainCpu);
    reportLine("throughput", "%.1f MB/s", mb(bytes) / plain);
    std::printf("Engine time / plain write time: %.2f\n", engine / plain);
    // On a machine that other work keeps busy the wall times wait for the processor too.
    std::printf("Engine CPU / plain write CPU:   %.2f\n", engineCpu / plainCpu);
    std::printf("Checked: %d pages stored, every page's characters drawn as generated\n", first.pages);
}

int runSpeed(const Options& o, const WorkFolder& folder)
{
    const SpoolStream spool = SpoolGenerator().generate(o.pages);
    std::vector<SpeedRun> runs;
    if (std::optional<std::string> error = measureSpeed(o, folder, spool, runs))
        return fail(*error);
    reportSpeed(o, folder, spool, runs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = parseOptions(argc, argv);
    WorkFolder folder(o.out);
    if (folder.path().empty())
        return fail("cannot create the folder " + (o.out.empty() ? std::string("under /tmp") : o.out));
    try {
        return o.memory ? runMemory(o, folder) : runSpeed(o, folder);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
