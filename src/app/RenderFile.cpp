#include "RenderFile.h"

#include "AppPaths.h"
#include "InputKind.h"
#include "JobSession.h"
#include "OutputTarget.h"
#include "PageStoreDocument.h"
#include "PdfPrinter.h"
#include "posix/AtomicFile.h"
#include "posix/DescriptorIo.h"
#include "posix/InputDescriptor.h"
#include "posix/PrivateCopy.h"
#include "posix/TempFolder.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QImage>
#include <QString>

#include <filesystem>

namespace quillon {

namespace fs = std::filesystem;

namespace {

// A name that says page store: such a file without a whole trailer is a damaged store, not a
// spool stream to print as text.
bool namedAsPageStore(const std::string& path)
{
    return QString::fromStdString(path).endsWith(QLatin1String(".vxr"), Qt::CaseInsensitive);
}

JobResult writePngPages(PageStoreDocument& document, PageRange range, int dpi, const std::string& output)
{
    for (int page = range.first; page <= range.last; ++page) {
        std::string error;
        QImage image = document.pageImage(page, dpi, error);
        if (image.isNull())
            return JobResult::failed("page " + std::to_string(page) + ": " + error);
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
            return JobResult::failed("page " + std::to_string(page) + ": cannot encode the PNG picture");
        const std::string name = pngPageName(output, page);
        if (!replaceFile(name, {reinterpret_cast<const uint8_t*>(png.constData()), size_t(png.size())}, error))
            return JobResult::failed(error);
    }
    return {};
}

// A page store as input: its pages output again, as the preview's print command prints them.
JobResult renderStore(const RenderOptions& o, OutputKind kind, const std::string& input,
                      const std::string& output, ReportProgress& progress, bool showProgress)
{
    if (kind == OutputKind::PageStore)
        return JobResult::badRequest("a page store goes to .png, .pdf or a printer");
    TSettings settings;
    const std::string dataDir = appDataDir();
    JobSession session(makePrinter(kind, o, output, dataDir), settings, progress, dataDir);
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
    return finishPrinting(session, kind, ok);
}

} // namespace

bool isPageStoreFile(const std::string& path)
{
    Descriptor fd(openForReading(path));
    return fd.get() >= 0 && isPageStore(fd.get());
}

JobResult renderFile(const RenderOptions& o, ReportProgress* shownProgress)
{
    SilentProgress silent;
    ReportProgress& progress = shownProgress ? *shownProgress : silent;
    std::error_code ec;
    const bool fromStdin = o.input == "-";
    const std::string input = fromStdin ? std::string("-") : fs::absolute(o.input, ec).lexically_normal().string();
    const std::string output = o.output.empty() ? std::string() : fs::absolute(o.output, ec).lexically_normal().string();
    const OutputKind kind = outputKindOf(o);

    TempFolder temp;
    InputDescriptor given;
    std::string error;
    if (!given.open(input, fromStdin, error))
        return JobResult::failed(error);
    if (!given.isRegular() && !given.isFifo())
        return JobResult::failed(input + " is not a file: give a spool file, a page store or - for standard input");
    if (!output.empty() && (given.isFile(output) || (kind == OutputKind::PngPages && given.isFile(pngPageName(output, 1)))))
        return JobResult::badRequest("the output " + output + " is the input itself");
    given.setBlocking();

    if (given.isFifo() && temp.path().empty())
        return JobResult::failed("cannot create a temporary folder");
    Descriptor copied(given.isFifo() ? copyToPrivateFile(given.fd(), temp.path(), error) : -1);
    if (given.isFifo() && copied.get() < 0)
        return JobResult::failed(error);
    const int fd = copied.get() >= 0 ? copied.get() : given.fd();

    const DocumentKind inputKind = documentKindOf(fd);
    if (inputKind == DocumentKind::PageStore)
        return renderStore(o, kind, copied.get() >= 0 ? "/proc/self/fd/" + std::to_string(fd) : input, output,
                           progress, shownProgress != nullptr);
    if (namedAsPageStore(input))
        return JobResult::failed(std::string(input) + ": " + kStoreDamagedMessage);
    if (inputKind == DocumentKind::Empty || isForeignDocument(inputKind))
        return JobResult::failed(notPrintableText(input, inputKind) + "; nic nie wydrukowano ani nie zapisano.");
    if (o.hasPages)
        return JobResult::badRequest("--pages needs a page store as input");

    TSettings settings = jobSettings(o);
    // To a page store or PNG pages the job runs as a preview would; otherwise it prints.
    settings.Preview = kind == OutputKind::PageStore || kind == OutputKind::PngPages;

    const std::string dataDir = appDataDir();
    JobSession session(makePrinter(kind, o, output, dataDir), settings, progress, dataDir);
    if (!settings.Preview) {
        const bool ok = session.runSpoolJob(fd, input);
        return finishPrinting(session, kind, ok);
    }

    if (kind == OutputKind::PngPages && temp.path().empty())
        return JobResult::failed("cannot create a temporary folder");
    session.report().ReportFile = kind == OutputKind::PngPages ? temp.file("preview.vxr") : output;
    if (!session.runSpoolJob(fd, input))
        return JobResult::failed(session.failureText());
    if (kind != OutputKind::PngPages)
        return {};
    if (!session.report().OpenPageStore())
        return JobResult::failed(session.report().ErrorMessage());
    PageStoreDocument document(session.report(), o.codePage);
    return writePngPages(document, {1, document.pageCount()}, o.dpi, output);
}

} // namespace quillon
