#include "RenderJob.h"

#include "AppPaths.h"
#include "PageImage.h"
#include "PdfPrinter.h"
#include "TerminalProgress.h"
#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "intake/JobSetup.h"
#include "posix/FileByteSource.h"
#include "posix/PosixFileAccess.h"
#include "report/MainReportDesign.h"
#include "report/PageStore.h"
#include "report/ReportPrinter.h"
#include "report/StoredPagePrinting.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QImage>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace fs = std::filesystem;

namespace {

enum class Output { Store, Png, Pdf, Printer };

Output outputKind(const RenderOptions& o)
{
    if (o.print)
        return Output::Printer;
    QString suffix = QString::fromStdString(o.output.substr(o.output.size() - 4)).toLower();
    if (suffix == ".png")
        return Output::Png;
    if (suffix == ".pdf")
        return Output::Pdf;
    return Output::Store;
}

std::string pngName(const std::string& output, int page)
{
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", page);
    return output.substr(0, output.size() - 4) + number + output.substr(output.size() - 4);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The page store is written beside nothing the user owns when only PNG pages are wanted.
class TempFolder {
public:
    TempFolder()
    {
        std::string tmpl = (fs::temp_directory_path() / "quillon-render-XXXXXX").string();
        if (::mkdtemp(tmpl.data()))
            m_path = tmpl;
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

bool isPageStore(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char magic[kPageStoreMagicSize];
    return size >= off_t(kPageStoreTrailerSize)
        && ::pread(fd, magic, sizeof magic, size - off_t(sizeof magic)) == ssize_t(sizeof magic)
        && std::memcmp(magic, kPageStoreMagic, sizeof magic) == 0;
}

void reportFailure(const TVxReport& report, const ReportPrinter* printer)
{
    std::fprintf(stderr, "%s: %s\n", report.ErrorClassName().c_str(), report.ErrorMessage().c_str());
    if (printer && !printer->lastError().empty())
        std::fprintf(stderr, "quillon-render: the printer says: %s\n", printer->lastError().c_str());
}

int writePngPages(TVxReport& report, PageRange range, const RenderOptions& o, const std::string& output)
{
    std::vector<uint8_t> picture;
    for (int page = range.first; page <= range.last; ++page) {
        const TVxPageRecord r = report.PageIndex[size_t(page - 1)];
        try {
            report.LoadStoredPage(picture, page);
        } catch (const Exception& e) {
            std::fprintf(stderr, "quillon-render: page %d: %s\n", page, e.message().c_str());
            return 1;
        }
        Size paper = r.Orientation == 'P' ? Size{r.PaperWidth, r.PaperLength}
                                          : Size{r.PaperLength, r.PaperWidth};
        QImage image = renderPageImage(picture, paper, {r.MargLeft, r.MargTop}, o.dpi, o.codePage);
        std::string name = pngName(output, page);
        if (image.isNull() || !image.save(QString::fromStdString(name), "PNG")) {
            std::fprintf(stderr, "quillon-render: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}

// The printer a run prints on: a PDF file or a CUPS queue.
std::unique_ptr<PdfPrinter> makePrinter(Output kind, const RenderOptions& o, const std::string& output)
{
    if (kind == Output::Pdf)
        return std::make_unique<PdfFilePrinter>(output, o.codePage);
    return std::make_unique<CupsPrinter>(o.printerName, o.codePage);
}

int finishPrinting(PdfPrinter& printer, Output kind, const std::string& output, bool ok)
{
    if (kind != Output::Pdf)
        return ok ? 0 : 1;
    auto& file = static_cast<PdfFilePrinter&>(printer);
    if (ok && file.finish())
        return 0;
    if (ok)
        std::fprintf(stderr, "quillon-render: cannot write %s\n", output.c_str());
    std::error_code ec;
    fs::remove(output, ec);
    return 1;
}

// A page store as input: its pages printed again, as the preview's print command prints them.
int renderStore(const RenderOptions& o, Output kind, const std::string& input, const std::string& output)
{
    if (kind == Output::Store) {
        std::fprintf(stderr, "quillon-render: a page store goes to .png, .pdf or a printer\n%s", kRenderUsage);
        return 2;
    }
    SheetOnlyPrinter sheet(21000, 29700);
    std::unique_ptr<PdfPrinter> printer;
    if (kind != Output::Png)
        printer = makePrinter(kind, o, output);
    ReportPrinter& target = printer ? static_cast<ReportPrinter&>(*printer) : sheet;
    target.selectDefaultPrinter();

    PosixFileAccess files(appDataDir());
    TerminalProgress terminal;
    TVxReport report(target, files, terminal);
    applyMainReportDesign(report);
    report.ReportFile = input;
    report.ShowPrintProgress = ::isatty(STDERR_FILENO);
    if (!report.OpenPageStore()) {
        std::fprintf(stderr, "quillon-render: %s\n",
                     report.ErrorMessage().empty() ? "the page store holds no pages" : report.ErrorMessage().c_str());
        return 1;
    }
    const int count = report.PageCount;
    PageRange range{1, count};
    if (o.hasPages) {
        if (o.firstPage > count) {
            std::fprintf(stderr, "quillon-render: the page store has %d pages\n", count);
            return 1;
        }
        range = confinePageRange({o.firstPage, o.lastPage}, count);
    }
    if (kind == Output::Png)
        return writePngPages(report, range, o, output);

    const bool ok = printStoredPages(report, range);
    if (!ok)
        reportFailure(report, printer.get());
    return finishPrinting(*printer, kind, output, ok);
}

} // namespace

int runRender(const RenderOptions& o)
{
    std::error_code ec;
    const std::string input = fs::absolute(o.input, ec).lexically_normal().string();
    const std::string output = o.output.empty() ? std::string() : fs::absolute(o.output, ec).lexically_normal().string();
    const Output kind = outputKind(o);

    Descriptor fd(::open(input.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        std::fprintf(stderr, "quillon-render: cannot open %s: %s\n", input.c_str(), std::strerror(errno));
        return 1;
    }
    if (isPageStore(fd.get()))
        return renderStore(o, kind, input, output);
    if (o.hasPages) {
        std::fprintf(stderr, "quillon-render: --pages needs a page store as input\n%s", kRenderUsage);
        return 2;
    }
    ::lseek(fd.get(), 0, SEEK_SET);

    TSettings settings;
    settings.FontName = o.fontName;
    settings.FontSize = o.fontSize;
    settings.PageOrient = o.orientation;
    // To a page store or PNG pages the job runs as a preview would; otherwise it prints.
    settings.Preview = kind == Output::Store || kind == Output::Png;

    char header[16];
    ssize_t got = ::pread(fd.get(), header, sizeof header, 0);
    std::string_view headerView(header, got > 0 ? size_t(got) : 0);

    // Rendering to files: the printable area is the whole A4 sheet; printing: the printer's.
    SheetOnlyPrinter sheet(21000, 29700);
    std::unique_ptr<PdfPrinter> printer;
    if (!settings.Preview)
        printer = makePrinter(kind, o, output);
    ReportPrinter& target = printer ? static_cast<ReportPrinter&>(*printer) : sheet;

    TPrinterState state;
    PageRenderer renderer(state, settings);
    FileByteSource source(fd.get());
    renderer.JobFile = &source;

    PosixFileAccess files(appDataDir());
    TerminalProgress terminal;
    SilentProgress silent;
    const bool onTerminal = ::isatty(STDERR_FILENO);
    TVxReport report(target, files, onTerminal ? static_cast<ReportProgress&>(terminal) : silent);
    applyMainReportDesign(report);
    report.OnPaintPage = [&renderer](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
        renderer.RAPPaintPage(sender, canvas, stop);
    };
    prepareJob(state, settings, target, headerView, input, report, renderer);

    if (printer) {
        const bool ok = report.Run();
        if (!ok)
            reportFailure(report, printer.get());
        return finishPrinting(*printer, kind, output, ok);
    }

    TempFolder temp;
    if (kind == Output::Png && temp.path().empty()) {
        std::fprintf(stderr, "quillon-render: cannot create a temporary folder\n");
        return 1;
    }
    report.ReportFile = kind == Output::Png ? temp.path() + "/preview.vxr" : output;
    if (!report.Run()) {
        reportFailure(report, nullptr);
        return 1;
    }
    if (kind != Output::Png)
        return 0;
    if (!report.OpenPageStore()) {
        std::fprintf(stderr, "quillon-render: %s\n", report.ErrorMessage().c_str());
        return 1;
    }
    return writePngPages(report, {1, report.PageCount}, o, output);
}

} // namespace quillon
