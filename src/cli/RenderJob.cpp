#include "RenderJob.h"

#include "AppPaths.h"
#include "PageImage.h"
#include "TerminalProgress.h"
#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "intake/JobSetup.h"
#include "posix/FileByteSource.h"
#include "posix/PosixFileAccess.h"
#include "report/MainReportDesign.h"
#include "report/PageStore.h"
#include "report/ReportPrinter.h"
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

bool endsWithPng(const std::string& path)
{
    return path.size() >= 4 && QString::fromStdString(path.substr(path.size() - 4)).toLower() == ".png";
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

int writePngPages(const std::string& store, const RenderOptions& o, const std::string& output)
{
    PosixFileAccess files(fs::path(store).parent_path().string());
    std::unique_ptr<InputFile> file;
    std::vector<TVxPageRecord> index;
    StoreOpenResult opened = openPageStore(files, store, store, file, index);
    if (opened.status != StoreStatus::Ok) {
        std::fprintf(stderr, "quillon-render: %s\n", opened.message.c_str());
        return 1;
    }
    std::vector<uint8_t> picture;
    for (const TVxPageRecord& r : index) {
        std::string error;
        if (!readStoredPicture(*file, r, picture, error)) {
            std::fprintf(stderr, "quillon-render: page %d: %s\n", r.PageNo, error.c_str());
            return 1;
        }
        Size paper = r.Orientation == 'P' ? Size{r.PaperWidth, r.PaperLength}
                                          : Size{r.PaperLength, r.PaperWidth};
        QImage image = renderPageImage(picture, paper, {r.MargLeft, r.MargTop}, o.dpi, o.codePage);
        std::string name = pngName(output, r.PageNo);
        if (image.isNull() || !image.save(QString::fromStdString(name), "PNG")) {
            std::fprintf(stderr, "quillon-render: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int runRender(const RenderOptions& o)
{
    std::error_code ec;
    const std::string input = fs::absolute(o.input, ec).lexically_normal().string();
    const std::string output = fs::absolute(o.output, ec).lexically_normal().string();

    Descriptor fd(::open(input.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        std::fprintf(stderr, "quillon-render: cannot open %s: %s\n", input.c_str(), std::strerror(errno));
        return 1;
    }

    TSettings settings;
    settings.FontName = o.fontName;
    settings.FontSize = o.fontSize;
    settings.PageOrient = o.orientation;
    settings.Preview = true;

    char header[16];
    ssize_t got = ::pread(fd.get(), header, sizeof header, 0);
    std::string_view headerView(header, got > 0 ? size_t(got) : 0);

    // Rendering to files: the printable area is the whole A4 sheet.
    SheetOnlyPrinter printer(21000, 29700);
    TPrinterState state;
    PageRenderer renderer(state, settings);
    FileByteSource source(fd.get());
    renderer.JobFile = &source;

    PosixFileAccess files(appDataDir());
    TerminalProgress terminal;
    SilentProgress silent;
    const bool onTerminal = ::isatty(STDERR_FILENO);
    TVxReport report(printer, files, onTerminal ? static_cast<ReportProgress&>(terminal) : silent);
    applyMainReportDesign(report);
    report.OnPaintPage = [&renderer](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
        renderer.RAPPaintPage(sender, canvas, stop);
    };
    prepareJob(state, settings, printer, headerView, input, report, renderer);

    const bool png = endsWithPng(output);
    TempFolder temp;
    if (png && temp.path().empty()) {
        std::fprintf(stderr, "quillon-render: cannot create a temporary folder\n");
        return 1;
    }
    report.ReportFile = png ? temp.path() + "/preview.vxr" : output;

    if (!report.Run()) {
        std::fprintf(stderr, "%s: %s\n", report.ErrorClassName().c_str(), report.ErrorMessage().c_str());
        return 1;
    }
    return png ? writePngPages(report.ReportFile, o, output) : 0;
}

} // namespace quillon
