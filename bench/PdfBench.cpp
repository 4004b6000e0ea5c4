// How fast a spool stream prints into a PDF file.
//
// A spool stream of N pages (the page-store benchmark's stream: 66 lines of 80 columns, mixed
// pitches and attributes) is generated in memory and printed into a PDF file exactly as
// `quillon-render SPOOL -o out.pdf` prints it: printer mode, PdfFilePrinter on a file in the work
// folder, the report run, then finish(). Every run happens in a forked child that starts its own
// QGuiApplication on the offscreen platform, so that its peak RSS is the job's own.
//
// Besides the plain run, three runs of the same stream split the time:
//   - the same PDF job with the printer wrapped so that the time spent inside the page surface's
//     drawing calls (the QPainter device and Qt's PDF engine behind it) and inside the page turns
//     (where Qt writes each finished page's content) is summed;
//   - the job in printer mode on a printer that draws nothing: the engine painting the pictures and
//     the player walking them, without Qt;
//   - the job into a page store, as the page-store benchmark runs it.
// The PDF's page count is checked against the stream with PdfFilePrinter::pageCount() and, when it
// is installed, with pdfinfo; a mismatch fails the run (exit status 1).
//
// It measures and reports; it never judges the times.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "EpsonStreams.h"
#include "Measure.h"
#include "NullPrinter.h"
#include "PdfInfo.h"
#include "SpoolGenerator.h"
#include "TimedPrinter.h"
#include "WorkFolder.h"

#include "JobSession.h"
#include "PdfPrinter.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

using namespace quillon;
using namespace quillon::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kDefaultPages = 2000;
constexpr int kSmallPages = 200;
constexpr const char* kPdfName = "bench.pdf";
constexpr const char* kStoreName = "preview.vxr";
// The emulation a job of the stream runs in (set once in main, read by every job).
PrinterEmulation g_emulation = PrinterEmulation::Simple;
constexpr const char* kSpoolName = "bench.prn"; // the job's name only: the spool is in memory

// ---------------------------------------------------------------------------------------------
// The jobs, in forked children

enum class JobKind { Pdf, TimedPdf, NullPrinter, Store };

struct JobResult {
    int ok = 0;
    int32_t reportPages = 0;  // pages the report made
    int32_t printerPages = 0; // pages the printer counted (PdfFilePrinter::pageCount())
    double appSeconds = 0;    // starting the QGuiApplication, before the job
    double runSeconds = 0;    // TVxReport::Run()
    double finishSeconds = 0; // PdfFilePrinter::finish()
    double surfaceSeconds = 0; // timed run: inside the page surface's calls
    double turnSeconds = 0;    // timed run: inside beginDoc, newPage and endDoc
    int64_t surfaceCalls = 0;
    int64_t textCalls = 0;
    int64_t outputBytes = 0;  // the PDF or the page store
    int32_t pdfinfoPages = -1; // filled in by the parent: the PDF's pages as pdfinfo counts them
    ChildUsage usage;         // startRssKiB: the child's resident set when the job began (Qt started)
    char error[512] = {};

    double totalSeconds() const { return runSeconds + finishSeconds; }
};

QtMessageHandler qtDefaultHandler = nullptr;

// Qt's remark about a missing runtime folder means nothing to a job that draws offscreen.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qtDefaultHandler(type, context, message);
}

int64_t fileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

// Starts the GUI application that fonts need (not a display); how long that took.
double startQt()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
    static int argc = 1;
    static char name[] = "quillon-bench-pdf";
    static char* argv[] = {name, nullptr};
    const auto appStart = Clock::now();
    new QGuiApplication(argc, argv); // lives as long as the child
    return secondsSince(appStart);
}

// The settings of every job: the defaults, the emulation asked for, preview for a store.
TSettings benchSettings(JobKind kind)
{
    TSettings settings;
    settings.FontName = "Courier New";
    settings.FontSize = 12;
    settings.PageOrient = "P";
    settings.Preview = kind == JobKind::Store;
    settings.Emulation = g_emulation;
    return settings;
}

bool printsPdf(JobKind kind) { return kind == JobKind::Pdf || kind == JobKind::TimedPdf; }

// The printers a job may print on; choose() makes the one for its kind: the PDF file printer
// (timed or not), a printer that draws nothing, or the sheet that a page store is made for.
struct JobPrinters {
    std::optional<PdfFilePrinter> pdf;
    std::optional<TimedPrinter> timed;
    test::NullPrinter null;
    SheetOnlyPrinter sheet{21000, 29700};

    ReportPrinter& choose(JobKind kind, const std::string& pdfPath)
    {
        if (kind == JobKind::NullPrinter)
            return null;
        if (!printsPdf(kind))
            return sheet;
        pdf.emplace(pdfPath, DosCodePage::Cp852);
        return kind == JobKind::TimedPdf ? static_cast<ReportPrinter&>(timed.emplace(*pdf)) : *pdf;
    }
};

// After a job that ran through: the PDF finished, and the pages the printer counted, the output's
// size and, for the timed run, where the time went into r. False, with r.error, when the PDF
// cannot be written.
bool finishJob(JobKind kind, JobPrinters& printers, const WorkFolder& folder, JobResult& r)
{
    if (printers.pdf) {
        const auto finishStart = Clock::now();
        const bool finished = printers.pdf->finish();
        r.finishSeconds = secondsSince(finishStart);
        if (!finished) {
            std::snprintf(r.error, sizeof r.error, "cannot write %s", folder.file(kPdfName).c_str());
            return false;
        }
        r.printerPages = printers.pdf->pageCount();
        r.outputBytes = fileSize(folder.file(kPdfName));
    } else if (kind == JobKind::NullPrinter) {
        r.printerPages = printers.null.pageCount();
    } else {
        r.printerPages = r.reportPages;
        r.outputBytes = fileSize(folder.file(kStoreName));
    }
    if (printers.timed) {
        r.surfaceSeconds = printers.timed->surface().seconds();
        r.surfaceCalls = printers.timed->surface().calls();
        r.textCalls = printers.timed->surface().textCalls();
        r.turnSeconds = printers.timed->turnSeconds();
    }
    return true;
}

// One job over spool, wired as `quillon-render SPOOL -o OUT` wires it for the output of kind.
// Runs in the child; the QGuiApplication lives until the child exits.
JobResult runJob(JobKind kind, std::string_view spool, const WorkFolder& folder)
{
    JobResult r;
    if (printsPdf(kind))
        r.appSeconds = startQt();
    r.usage.startRssKiB = residentKiB();
    const TSettings settings = benchSettings(kind);

    const auto start = Clock::now();
    JobPrinters printers;
    ReportPrinter& printer = printers.choose(kind, folder.file(kPdfName));
    MemoryByteSource source(spool);
    SilentProgress silent;
    // Printing, the job prints (not previews) with ShowPrintProgress off, as quillon-render does.
    JobSession session(printer, settings, silent, folder.path());
    TVxReport& report = session.report();
    if (kind == JobKind::Store)
        report.ReportFile = folder.file(kStoreName);
    const bool ok = session.engine().runJob(source, spool.substr(0, 16), folder.file(kSpoolName));
    r.runSeconds = secondsSince(start);
    // Printing, PageNo() is the number of the page that would come next; into a store, the last.
    r.reportPages = kind == JobKind::Store ? report.PageNo() : report.PageNo() - 1;
    if (!ok) {
        std::snprintf(r.error, sizeof r.error, "%s: %s%s%s", report.ErrorClassName().c_str(),
                      report.ErrorMessage().c_str(), printer.lastError().empty() ? "" : "; the printer says: ",
                      printer.lastError().c_str());
        return r;
    }
    r.ok = finishJob(kind, printers, folder, r);
    return r;
}

JobResult runJobInChild(JobKind kind, std::string_view spool, const WorkFolder& folder)
{
    return measuredInChild<JobResult>([&] { return runJob(kind, spool, folder); });
}

// ---------------------------------------------------------------------------------------------
// The program

// The streams the benchmark prints: the simple printer's text, or an Epson printer's text with
// attributes or pages full of graphics bands.
enum class Stream { Text, EpsonText, EpsonDither, EpsonLineArt };

struct Options : RunOptions {
    bool pdfOnly = false;
    Stream stream = Stream::Text;
};


SpoolStream makeStream(Stream stream, int pages)
{
    switch (stream) {
    case Stream::EpsonText:
        return epsonTextStream(pages);
    case Stream::EpsonDither:
        return epsonGraphicsStream(pages, DotContent::Dither);
    case Stream::EpsonLineArt:
        return epsonGraphicsStream(pages, DotContent::LineArt);
    case Stream::Text:
        break;
    }
    return SpoolGenerator().generate(pages);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    o.pages = kDefaultPages;
    std::string stream = "text";
    std::vector<BenchOption> rows = runOptionRows(o, "pages of the generated spool stream",
                                                  "folder for the PDF and the page store (default: a new folder under\n"
                                                  "/tmp); the files are removed afterwards");
    rows.push_back({"--pdf-only", &o.pdfOnly,
                    "only the PDF job, once per repeat: no split, no " + std::to_string(kSmallPages)
                        + "-page run (for\nprofiling)"});
    rows.push_back({"--stream", "S", &stream,
                    "text: the simple printer's pages (default); epson-text: a 24-pin\n"
                    "printer's text with attributes; epson-dither, epson-lineart: pages of\n"
                    "85 bands of ESC * 39 graphics, a dithered picture or line art",
                    "text|epson-text|epson-dither|epson-lineart"});
    parseBenchOptions("quillon-bench-pdf", argc, argv, rows);
    o.stream = stream == "epson-text"     ? Stream::EpsonText
             : stream == "epson-dither"   ? Stream::EpsonDither
             : stream == "epson-lineart" ? Stream::EpsonLineArt
                                          : Stream::Text;
    return o;
}

// What reading the clock costs, in seconds: the timed run reads it twice a call.
double clockCost()
{
    constexpr int kReads = 1000000;
    Clock::rep sum = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kReads; ++i)
        sum += Clock::now().time_since_epoch().count() & 1;
    const double seconds = secondsSince(start);
    return sum >= 0 ? seconds / kReads : 0;
}

double ms(double seconds) { return seconds * 1e3; }

// One job of kind over the stream, its page counts checked. A PDF is checked with pdfinfo too
// (when present) and then removed, as is a page store.
std::optional<JobResult> measuredJob(JobKind kind, const SpoolStream& spool, const WorkFolder& folder,
                                     int& pdfinfoCount, std::string& error)
{
    folder.settle();
    JobResult r = runJobInChild(kind, spool.bytes, folder);
    pdfinfoCount = -1;
    if (r.ok && printsPdf(kind) && onPath("pdfinfo"))
        pdfinfoCount = r.pdfinfoPages = pdfinfoPages(folder.file(kPdfName));
    folder.remove(kPdfName);
    folder.remove(kStoreName);
    if (!r.ok) {
        error = std::string("the job failed: ") + r.error;
        return std::nullopt;
    }
    const int expected = int(spool.pages.size());
    if (r.reportPages != expected || r.printerPages != expected) {
        error = "the job made " + std::to_string(r.reportPages) + " pages (the printer counted "
              + std::to_string(r.printerPages) + ") of a " + std::to_string(expected) + "-page stream";
        return std::nullopt;
    }
    if (printsPdf(kind) && onPath("pdfinfo") && pdfinfoCount != expected) {
        error = pdfinfoCount < 0 ? std::string("pdfinfo cannot read the PDF")
                                 : "pdfinfo counts " + std::to_string(pdfinfoCount) + " pages in the PDF of a "
                                       + std::to_string(expected) + "-page stream";
        return std::nullopt;
    }
    return r;
}

// The runs of one benchmark, by kind of job.
struct Runs {
    std::vector<JobResult> pdfs, timeds, nulls, stores;
};

// The runs of every kind of job, o.repeat times each (the PDF job alone with --pdf-only); the
// reason when one failed.
std::optional<std::string> runJobs(const Options& o, const WorkFolder& folder, Runs& runs)
{
    auto& [pdfs, timeds, nulls, stores] = runs;
    const SpoolStream spool = makeStream(o.stream, o.pages);
    static const char* const kinds[] = {
        "the simple printer's text: 66 lines x 80 columns, mixed pitches and attributes",
        "a 24-pin printer's text: 60 lines with attributes, tabs and CP852",
        "a 24-pin printer's graphics: 85 bands of ESC * 39, a dithered picture",
        "a 24-pin printer's graphics: 85 bands of ESC * 39, line art"};
    std::printf("PDF benchmark: %d pages of %s\n", o.pages, kinds[int(o.stream)]);
    reportLine("spool stream", "%.2f MB, in memory", mb(double(spool.bytes.size())));
    reportLine("folder", "%s", folder.path().c_str());
    std::fflush(stdout);
    for (int k = 0; k < o.repeat; ++k) {
        std::string error;
        int counted = -1;
        std::optional<JobResult> r = measuredJob(JobKind::Pdf, spool, folder, counted, error);
        if (!r)
            return error;
        pdfs.push_back(*r);
        if (o.pdfOnly)
            continue;
        r = measuredJob(JobKind::TimedPdf, spool, folder, counted, error);
        if (!r)
            return "the timed PDF job: " + error;
        timeds.push_back(*r);
        r = measuredJob(JobKind::NullPrinter, spool, folder, counted, error);
        if (!r)
            return "the job on a printer that draws nothing: " + error;
        nulls.push_back(*r);
        r = measuredJob(JobKind::Store, spool, folder, counted, error);
        if (!r)
            return "the page-store job: " + error;
        stores.push_back(*r);
    }
    return std::nullopt;
}

// The PDF job's figures; the medians of its runs, for the memory report.
JobResult reportPdfJob(const Options& o, const std::vector<JobResult>& pdfs, bool pdfinfo)
{
    const JobResult& first = pdfs.front();
    const double total = medianOf(pdfs, [](const JobResult& r) { return r.totalSeconds(); });
    const double runTime = medianOf(pdfs, [](const JobResult& r) { return r.runSeconds; });
    const double finish = medianOf(pdfs, [](const JobResult& r) { return r.finishSeconds; });
    const double bytes = medianOf(pdfs, [](const JobResult& r) { return r.outputBytes; });
    if (o.repeat > 1) {
        std::printf("  %d runs; figures are medians. PDF job per run (s):", o.repeat);
        for (const JobResult& r : pdfs)
            std::printf(" %.3f", r.totalSeconds());
        std::printf("\n");
    }
    std::printf("PDF job: spool -> PdfFilePrinter, as quillon-render SPOOL -o out.pdf\n");
    reportLine("wall time", "%.3f s (report run %.3f s + finish() %.3f s); the child's CPU: "
                "%.3f s user, %.3f s system",
                total, runTime, finish, medianOf(pdfs, [](const JobResult& r) { return r.usage.userSeconds; }),
                medianOf(pdfs, [](const JobResult& r) { return r.usage.systemSeconds; }));
    const double cpu = medianOf(pdfs, [](const JobResult& r) { return r.usage.cpuSeconds(); });
    reportLine("pages/s", "%.0f (by the child's CPU time, which other load on the machine does not "
                "stretch: %.0f)",
                o.pages / total, o.pages / cpu);
    reportLine("PDF size", "%lld bytes (%.2f MB, %.1f KB a page)", (long long)bytes, mb(bytes),
                bytes / o.pages / 1e3);
    if (o.stream == Stream::EpsonDither || o.stream == Stream::EpsonLineArt) {
        const std::string bits = epsonGraphicsPageBits(o.stream == Stream::EpsonDither ? DotContent::Dither : DotContent::LineArt);
        const QByteArray flate = qCompress(QByteArray::fromRawData(bits.data(), qsizetype(bits.size())));
        reportLine("a page's dots", "%.1f KB as a 1-bit image, %.1f KB as a 1-bit Flate image (zlib's "
                    "default level)",
                    double(bits.size()) / 1e3, double(flate.size() - 4) / 1e3);
    }
    reportLine("pages", "%d made; PdfFilePrinter::pageCount() %d; pdfinfo %s", first.reportPages,
                first.printerPages,
                pdfinfo ? std::to_string(first.pdfinfoPages).c_str() : "not installed, not checked");
    reportLine("Qt start", "%.3f s before the job (QGuiApplication, not in the wall time)",
                medianOf(pdfs, [](const JobResult& r) { return r.appSeconds; }));
    JobResult memory = first; // the medians of the runs
    memory.usage.peakRssKiB = int64_t(medianOf(pdfs, [](const JobResult& r) { return r.usage.peakRssKiB; }));
    memory.usage.startRssKiB = int64_t(medianOf(pdfs, [](const JobResult& r) { return r.usage.startRssKiB; }));
    memory.runSeconds = runTime;
    memory.finishSeconds = finish;
    reportLine("peak RSS", "%.2f MiB (%.2f MiB when the job began, growth %.2f MiB)",
                mib(double(memory.usage.peakRssKiB)), mib(double(memory.usage.startRssKiB)),
                mib(double(memory.usage.growthKiB())));
    return memory;
}

// Where the PDF job's time goes, from the timed runs and the reference runs without Qt.
void reportBreakdown(const Options& o, const Runs& runs)
{
    const auto& [pdfs, timeds, nulls, stores] = runs;
    const double total = medianOf(pdfs, [](const JobResult& r) { return r.totalSeconds(); });
    const double tRun = medianOf(timeds, [](const JobResult& r) { return r.runSeconds; });
    const double tSurface = medianOf(timeds, [](const JobResult& r) { return r.surfaceSeconds; });
    const double tTurn = medianOf(timeds, [](const JobResult& r) { return r.turnSeconds; });
    const double tFinish = medianOf(timeds, [](const JobResult& r) { return r.finishSeconds; });
    const double tTotal = tRun + tFinish;
    const double tEngine = tRun - tSurface - tTurn;
    const double timing = 2 * clockCost() * double(medianOf(timeds, [](const JobResult& r) { return r.surfaceCalls; }));
    const double nullRun = medianOf(nulls, [](const JobResult& r) { return r.runSeconds; });
    const double storeRun = medianOf(stores, [](const JobResult& r) { return r.runSeconds; });
    const double storeBytes = medianOf(stores, [](const JobResult& r) { return r.outputBytes; });
    auto share = [&](double part) { return tTotal > 0 ? 100.0 * part / tTotal : 0.0; };
    const JobResult& t = timeds.front();

    std::printf("Where the time goes (the same job with the printer's calls timed: %.3f s, %lld drawing "
                "calls, %lld of them text, %.1f a page)\n",
                tTotal, (long long)t.surfaceCalls, (long long)t.textCalls, double(t.surfaceCalls) / o.pages);
    reportLine("engine", "%8.3f s %5.1f %%  %6.3f ms a page  paints the pictures, the player "
                "walks them",
                tEngine, share(tEngine), ms(tEngine / o.pages));
    std::printf("                                                      (%.3f s of it is the timing's own "
                "clock reads)\n",
                timing);
    reportLine("drawing", "%8.3f s %5.1f %%  %6.3f ms a page  PainterDevice -> QPainter -> "
                "Qt's PDF engine",
                tSurface, share(tSurface), ms(tSurface / o.pages));
    reportLine("page turns", "%8.3f s %5.1f %%  %6.3f ms a page  Qt writes each finished page", tTurn,
                share(tTurn), ms(tTurn / o.pages));
    reportLine("finish()", "%8.3f s %5.1f %%                     Qt writes the fonts and the "
                "rest of the file",
                tFinish, share(tFinish));
    std::printf("Reference runs of the same stream, no Qt\n");
    std::printf("  printer mode, a printer that draws nothing   %.3f s (%.0f pages/s)\n", nullRun,
                o.pages / nullRun);
    std::printf("  into a page store (%.2f MB)                 %.3f s (%.0f pages/s)\n", mb(storeBytes),
                storeRun, o.pages / storeRun);
    std::printf("  so drawing into the PDF (PainterDevice, QPainter, Qt's PDF writer) takes %.3f s of the "
                "PDF job's %.3f s (%.1f %%)\n",
                total - nullRun, total, 100.0 * (total - nullRun) / total);
}

// Peak RSS for a short job and for the full one (memory: the full one's medians).
int reportMemory(const Options& o, const WorkFolder& folder, const JobResult& memory, bool pdfinfo)
{
    const int small = std::min(kSmallPages, o.pages);
    std::optional<JobResult> smallRun;
    {
        const SpoolStream spool = makeStream(o.stream, small);
        std::string error;
        int counted = -1;
        smallRun = measuredJob(JobKind::Pdf, spool, folder, counted, error);
        if (!smallRun)
            return fail("the " + std::to_string(small) + "-page PDF job: " + error);
    }
    std::printf("Peak RSS of the PDF job in a forked child (ru_maxrss from wait4(); at start: the child "
                "with Qt started\nand the stream it inherited)\n");
    const JobResult* both[2] = {&*smallRun, &memory};
    const int sizes[2] = {small, o.pages};
    for (int i = 0; i < 2; ++i)
        std::printf("  %7d pages   peak %7.2f MiB   at start %6.2f MiB   growth %7.2f MiB   (job %.3f s)\n",
                    sizes[i], mib(double(both[i]->usage.peakRssKiB)), mib(double(both[i]->usage.startRssKiB)),
                    mib(double(both[i]->usage.growthKiB())), both[i]->totalSeconds());
    std::printf("Checked: %d pages in the PDF (PdfFilePrinter::pageCount()%s) in every run\n", o.pages,
                pdfinfo ? " and pdfinfo" : "; pdfinfo is not installed");
    return 0;
}

int run(const Options& o, const WorkFolder& folder)
{
    const bool pdfinfo = onPath("pdfinfo");
    Runs runs;
    if (std::optional<std::string> error = runJobs(o, folder, runs))
        return fail(*error);
    const JobResult memory = reportPdfJob(o, runs.pdfs, pdfinfo);
    if (o.pdfOnly)
        return 0;
    reportBreakdown(o, runs);
    return reportMemory(o, folder, memory, pdfinfo);
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = parseOptions(argc, argv);
    g_emulation = o.stream == Stream::Text ? PrinterEmulation::Simple : PrinterEmulation::Lq;
    WorkFolder folder(o.out);
    if (folder.path().empty())
        return fail("cannot create the folder " + (o.out.empty() ? std::string("under /tmp") : o.out));
    try {
        return run(o, folder);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
