#include "RenderFile.h"

#include "AppPaths.h"
#include "JobSession.h"
#include "OutputTarget.h"
#include "PageStoreDocument.h"
#include "PdfPrinter.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QImage>
#include <QString>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace fs = std::filesystem;

namespace {

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

JobResult writePngPages(PageStoreDocument& document, PageRange range, int dpi, const std::string& output)
{
    for (int page = range.first; page <= range.last; ++page) {
        std::string error;
        QImage image = document.pageImage(page, dpi, error);
        if (image.isNull())
            return JobResult::failed("page " + std::to_string(page) + ": " + error);
        const std::string name = pngPageName(output, page);
        if (!image.save(QString::fromStdString(name), "PNG"))
            return JobResult::failed("cannot write " + name);
    }
    return {};
}

// The printer a run prints on: the whole A4 sheet for files, a PDF file, or a CUPS queue.
std::unique_ptr<ReportPrinter> makePrinter(OutputKind kind, const RenderOptions& o, const std::string& output)
{
    switch (kind) {
    case OutputKind::PdfFile:
        return std::make_unique<PdfFilePrinter>(output, o.codePage);
    case OutputKind::Printer:
        return std::make_unique<CupsPrinter>(o.printerName, o.codePage);
    default:
        return std::make_unique<SheetOnlyPrinter>(21000, 29700);
    }
}

// A printing run's end: a PDF file is completed, or removed when the run failed.
JobResult finishPrinting(JobSession& session, OutputKind kind, const std::string& output, bool ok)
{
    JobResult result = ok ? JobResult{} : JobResult::failed(session.failureText());
    if (kind != OutputKind::PdfFile)
        return result;
    auto& file = static_cast<PdfFilePrinter&>(session.printer());
    if (ok && file.finish())
        return result;
    if (ok)
        result = JobResult::failed("cannot write " + output);
    std::error_code ec;
    fs::remove(output, ec);
    return result;
}

// A page store as input: its pages output again, as the preview's print command prints them.
JobResult renderStore(const RenderOptions& o, OutputKind kind, const std::string& input,
                      const std::string& output, ReportProgress& progress, bool showProgress)
{
    if (kind == OutputKind::PageStore)
        return JobResult::badRequest("a page store goes to .png, .pdf or a printer");
    TSettings settings;
    JobSession session(makePrinter(kind, o, output), settings, progress, appDataDir());
    session.printer().selectDefaultPrinter();
    session.report().ShowPrintProgress = showProgress;
    if (!session.openStore(input)) {
        const std::string& why = session.report().ErrorMessage();
        return JobResult::failed(why.empty() ? "the page store holds no pages" : why);
    }
    PageStoreDocument document(session.report(), o.codePage);
    const int count = document.pageCount();
    PageRange range{1, count};
    if (o.hasPages) {
        if (o.firstPage > count)
            return JobResult::failed("the page store has " + std::to_string(count) + " pages");
        range = confinePageRange({o.firstPage, o.lastPage}, count);
    }
    if (kind == OutputKind::PngPages)
        return writePngPages(document, range, o.dpi, output);
    const bool ok = document.printRange(range);
    return finishPrinting(session, kind, output, ok);
}

} // namespace

bool isPageStoreFile(const std::string& path)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.get() >= 0 && isPageStore(fd.get());
}

JobResult renderFile(const RenderOptions& o, ReportProgress* shownProgress)
{
    SilentProgress silent;
    ReportProgress& progress = shownProgress ? *shownProgress : silent;
    std::error_code ec;
    const std::string input = fs::absolute(o.input, ec).lexically_normal().string();
    const std::string output = o.output.empty() ? std::string() : fs::absolute(o.output, ec).lexically_normal().string();
    const OutputKind kind = outputKindOf(o);

    Descriptor fd(::open(input.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return JobResult::failed("cannot open " + input + ": " + std::strerror(errno));
    if (isPageStore(fd.get()))
        return renderStore(o, kind, input, output, progress, shownProgress != nullptr);
    if (o.hasPages)
        return JobResult::badRequest("--pages needs a page store as input");

    TSettings settings;
    settings.FontName = o.fontName;
    settings.FontSize = o.fontSize;
    settings.PageOrient = o.orientation;
    // To a page store or PNG pages the job runs as a preview would; otherwise it prints.
    settings.Preview = kind == OutputKind::PageStore || kind == OutputKind::PngPages;

    JobSession session(makePrinter(kind, o, output), settings, progress, appDataDir());
    if (!settings.Preview) {
        const bool ok = session.runSpoolJob(fd.get(), input);
        return finishPrinting(session, kind, output, ok);
    }

    TempFolder temp;
    if (kind == OutputKind::PngPages && temp.path().empty())
        return JobResult::failed("cannot create a temporary folder");
    session.report().ReportFile = kind == OutputKind::PngPages ? temp.path() + "/preview.vxr" : output;
    if (!session.runSpoolJob(fd.get(), input))
        return JobResult::failed(session.failureText());
    if (kind != OutputKind::PngPages)
        return {};
    if (!session.report().OpenPageStore())
        return JobResult::failed(session.report().ErrorMessage());
    PageStoreDocument document(session.report(), o.codePage);
    return writePngPages(document, {1, document.pageCount()}, o.dpi, output);
}

} // namespace quillon
