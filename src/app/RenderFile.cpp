#include "RenderFile.h"

#include "AppPaths.h"
#include "InputKind.h"
#include "JobSession.h"
#include "OutputTarget.h"
#include "PageStoreDocument.h"
#include "PdfPrinter.h"
#include "RenderInput.h"
#include "StoreRun.h"
#include "posix/AtomicFile.h"
#include "posix/DescriptorIo.h"
#include "posix/InputDescriptor.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QImage>

namespace quillon {

namespace {

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
    const OutputKind kind = outputKindOf(o);
    if (kind == OutputKind::PageStore)
        return renderToStore(o, shownProgress);
    SilentProgress silent;
    ReportProgress& progress = shownProgress ? *shownProgress : silent;
    RenderInput in;
    if (auto ended = openRenderInput(o, kind, in))
        return *ended;
    if (in.kind == DocumentKind::PageStore)
        return renderStore(o, kind, in.storePath(), in.output, progress, shownProgress != nullptr);
    if (auto ended = refuseSpoolInput(o, in))
        return *ended;

    // To PNG pages the job runs as a preview would, into a page store of its own; otherwise it
    // prints.
    TSettings settings = jobSettings(o);
    settings.Preview = kind == OutputKind::PngPages;
    const std::string dataDir = appDataDir();
    JobSession session(makePrinter(kind, o, in.output, dataDir), settings, progress, dataDir);
    if (!settings.Preview) {
        const bool ok = session.runSpoolJob(in.fd, in.input);
        return finishPrinting(session, kind, ok);
    }

    if (in.temp.path().empty())
        return JobResult::failed("cannot create a temporary folder");
    session.report().ReportFile = in.temp.file("preview.vxr");
    if (!session.runSpoolJob(in.fd, in.input))
        return JobResult::failed(session.failureText());
    if (!session.report().OpenPageStore())
        return JobResult::failed(session.report().ErrorMessage());
    PageStoreDocument document(session.report(), o.codePage);
    return writePngPages(document, {1, document.pageCount()}, o.dpi, in.output);
}

} // namespace quillon
