#include "report/VxReport.h"

#include "TextUtil.h"
#include "Units.h"
#include "gdi/EmfFormat.h"
#include "gdi/EmfPlayer.h"
#include "report/FileAccess.h"
#include "report/PageStore.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/ReportViewer.h"
#include "report/VxCanvas.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <new>

namespace quillon {

namespace {

// Errors that are not of the program's own family but still end a run as a failure: the
// standard library's, such as running out of memory.
struct ForeignError {
    std::string message;
    std::string className;
    ReportError kind;
};

ForeignError describe(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return {"Za mało pamięci", "EOutOfMemory", ReportError::OutOfMemory};
    return {e.what(), "Exception", ReportError::Other};
}

class RunError : public Exception {
public:
    explicit RunError(ForeignError e)
        : Exception(std::move(e.message)), m_className(std::move(e.className)), m_kind(e.kind)
    {
    }
    const char* className() const override { return m_className.c_str(); }
    ReportError kind() const override { return m_kind; }

private:
    std::string m_className;
    ReportError m_kind;
};

PrinterOrientation printerOrientation(TVxPaperOrient o)
{
    return o == vxLandscape ? PrinterOrientation::Landscape : PrinterOrientation::Portrait;
}

// The progress window or the wait cursor for the length of a run.
class ProgressScope {
public:
    ProgressScope(ReportProgress& progress, bool window, const char* caption)
        : m_progress(progress), m_window(window)
    {
        if (m_window) {
            m_progress.setCaption(caption);
            m_progress.setButtonText("Przerwij ...");
            m_progress.show();
        } else {
            m_progress.beginWaitCursor();
        }
    }
    ~ProgressScope()
    {
        if (m_window)
            m_progress.hide();
        else
            m_progress.endWaitCursor();
    }

private:
    ReportProgress& m_progress;
    bool m_window;
};

constexpr int32_t kMaxStoreOffset = INT32_MAX;

} // namespace

int32_t PagePictureSize(std::span<const uint8_t> picture)
{
    auto header = emf::parseHeader(picture);
    return header && header->nBytes <= uint32_t(INT32_MAX) ? int32_t(header->nBytes) : 0;
}

TVxReport::TVxReport(ReportPrinter& printer, FileAccess& files, ReportProgress& progress)
    : m_printer(printer), m_files(files), m_progress(progress), m_recorder(Size{21000, 29700})
{
}

TVxReport::~TVxReport() = default;

void TVxReport::SetPaperFormat(TVxPaperFormat format)
{
    m_paperFormat = format;
    if (format != pfUser) {
        m_paperWidth = PaperSizes[format].width;
        m_paperLength = PaperSizes[format].length;
    }
}

void TVxReport::SetPaperWidth(int32_t width)
{
    if (m_paperFormat == pfUser)
        m_paperWidth = width;
}

void TVxReport::SetPaperLength(int32_t length)
{
    if (m_paperFormat == pfUser)
        m_paperLength = length;
}

bool TVxReport::Run()
{
    if (m_printDestination == vxPreviewer)
        return BuildPageStore();
    return PrintPages(false, 0, 0);
}

void TVxReport::LatchPageSettings(TVxPageRecord* r)
{
    if (r) {
        r->Orientation = PaperOrient == vxLandscape ? 'L' : 'P';
        r->PaperCode = PaperSizes[m_paperFormat].paperCode;
        r->PaperWidth = m_paperWidth;
        r->PaperLength = m_paperLength;
        r->MargLeft = MargLeft;
        r->MargTop = MargTop;
        r->MargRight = MargRight;
        r->MargBottom = MargBottom;
    }
    m_cur.PaperFormat = m_paperFormat;
    m_cur.PaperOrient = PaperOrient;
    m_cur.PaperWidth = m_paperWidth;
    m_cur.PaperLength = m_paperLength;
    m_cur.MargLeft = MargLeft;
    m_cur.MargTop = MargTop;
    m_cur.MargRight = MargRight;
    m_cur.MargBottom = MargBottom;
}

Size TVxReport::pictureFrame() const
{
    const PaperSize& p = PaperSizes[m_paperFormat];
    return m_cur.PaperOrient == vxPortrait ? Size{p.width, p.length} : Size{p.length, p.width};
}

void TVxReport::fail(const Exception& e)
{
    m_errorMessage = e.message();
    m_errorClassName = e.className();
    m_errorKind = e.kind();
}

void TVxReport::clearError()
{
    m_errorMessage.clear();
    m_errorClassName.clear();
    m_errorKind = ReportError::None;
}

std::string TVxReport::resolvedReportFile() const
{
    if (ReportFile.find('/') != std::string::npos)
        return ReportFile;
    return m_files.programDir() + "/" + ReportFile;
}

void TVxReport::PaintFreshPage(EmfRecorder& picture, bool& StopIt)
{
    picture.restart(pictureFrame());
    {
        TVxCanvas canvas(picture);
        OnPaintPage(*this, canvas, StopIt);
    }
    picture.finish();
}

void TVxReport::PrinterPhysicalOffset(int32_t& X, int32_t& Y)
{
    X = 0;
    Y = 0;
    auto m = m_printer.pageMetrics();
    if (!m)
        return;
    if (m->dpiX > 0)
        X = PixelsToUnits(m->offsetX, m->dpiX);
    if (m->dpiY > 0)
        Y = PixelsToUnits(m->offsetY, m->dpiY);
}

bool TVxReport::PrintPagePicture(std::span<const uint8_t> picture, int32_t X, int32_t Y)
{
    try {
        int32_t offX, offY;
        PrinterPhysicalOffset(offX, offY);
        X -= offX;
        Y -= offY;
        if (MarginsTuned) {
            X = std::max(X, 0);
            Y = std::max(Y, 0);
        }
        DrawingContext* dc = m_printer.pageSurface();
        auto m = m_printer.pageMetrics();
        if (!dc || !m || m->dpiX <= 0 || m->dpiY <= 0)
            return false;
        dc->selectObject(stockObject(StockObject::WhiteBrush));
        dc->setWindowOrg({0, 0});
        dc->setMapMode(kMmAnisotropic);
        dc->setWindowExt({kUnitsPerInch, kUnitsPerInch});
        dc->setViewportExt({m->dpiX, m->dpiY});
        return playEmf(picture, *dc, {X, Y}).ok;
    } catch (...) {
        return false;
    }
}

// Printing runs page by page: each page is latched, given its place on the printer (a document
// or a page of one), made (painted fresh or read from the store) and played there. Whatever
// fails raises one of the report's errors, which the run turns into its result.
bool TVxReport::PrintPages(bool FromStore, int FirstPage, int LastPage)
{
    clearError();
    try {
        if (!FromStore && !OnPaintPage)
            throw EVxReport_NoPaintEvent();
        if (FromStore && !m_pageStore)
            throw EReadError(kStoreDamagedMessage);
        ProgressScope progress(m_progress, ShowPrintProgress, "Drukowanie");
        try {
            printEachPage(FromStore, FirstPage, LastPage);
            // The last document must reach the printer: a refused job is a failed run.
            if (!m_printer.endDoc())
                throw EVxReport_EndDoc();
        } catch (...) {
            // Whatever failed, a document begun is discarded rather than left open.
            if (m_printer.printing())
                m_printer.abortDoc();
            throw;
        }
    } catch (const Exception& e) {
        fail(e);
        return false;
    } catch (const std::exception& e) {
        fail(RunError(describe(e)));
        return false;
    }
    return true;
}

void TVxReport::printEachPage(bool fromStore, int firstPage, int lastPage)
{
    m_pageNo = fromStore ? firstPage : 1;
    std::vector<uint8_t> stored;
    bool stop = false;
    for (bool first = true; !stop; first = false) {
        if (ShowPrintProgress)
            m_progress.setPageLabel("Strona " + std::to_string(m_pageNo));
        m_progress.processPendingMessages();
        LatchPageSettings(nullptr);
        startPrinterPage(first);
        LatchPageSettings(nullptr);
        const std::span<const uint8_t> picture = nextPagePicture(fromStore, lastPage, stored, stop);
        if (!PrintPagePicture(picture, m_cur.MargLeft, m_cur.MargTop))
            throw EVxReport_PrintMetaPage();
        stopOnCancel();
    }
}

// The first page begins the document. A later one begins a document of its own when each page
// is one (PagesAsDocs) or the orientation changes, and is a new page of the document otherwise.
void TVxReport::startPrinterPage(bool first)
{
    if (first) {
        m_printer.setOrientation(printerOrientation(m_cur.PaperOrient));
        m_printer.setDocumentTitle(utf8Left(ReportTitle, 31));
        if (!m_printer.beginDoc())
            throw EVxReport_BeginDocFirst();
    } else if (PagesAsDocs || m_lastOrient != m_cur.PaperOrient) {
        if (!m_printer.endDoc())
            throw EVxReport_EndDoc();
        if (m_lastOrient != m_cur.PaperOrient)
            m_printer.setOrientation(printerOrientation(m_cur.PaperOrient));
        m_printer.setDocumentTitle(utf8Left(ReportTitle, 31));
        if (!m_printer.beginDoc())
            throw EVxReport_BeginDocNext();
    } else if (!m_printer.newPage()) {
        throw EVxReport_NewPage();
    }
    m_lastOrient = m_cur.PaperOrient;
}

// The picture of page m_pageNo, which moves on to the next: read from the store into stored
// (stop after lastPage), or painted fresh (the page handler says when to stop).
std::span<const uint8_t> TVxReport::nextPagePicture(bool fromStore, int lastPage, std::vector<uint8_t>& stored,
                                                    bool& stop)
{
    if (fromStore) {
        LoadStoredPage(stored, m_pageNo);
        ++m_pageNo;
        stop = m_pageNo > lastPage;
        return stored;
    }
    PaintFreshPage(m_recorder, stop);
    ++m_pageNo;
    return m_recorder.finish();
}

void TVxReport::stopOnCancel()
{
    if (!ShowPrintProgress || !m_progress.cancelRequested())
        return;
    if (m_printer.printing())
        m_printer.abortDoc();
    throw EVxReport_UserAbort();
}

// Paints page m_pageNo into the page recorder and returns its complete picture; a failure of the
// page handler becomes the run's page-drawing error.
std::span<const uint8_t> TVxReport::recordPage(bool& stop)
{
    m_recorder.restart(pictureFrame());
    try {
        TVxCanvas canvas(m_recorder);
        OnPaintPage(*this, canvas, stop);
    } catch (const Exception& e) {
        m_recorder.finish();
        throw EVxReport_PageDrawing(pageDrawingMessage(m_pageNo, e.message(), e.className()));
    } catch (const std::exception& e) {
        m_recorder.finish();
        ForeignError f = describe(e);
        throw EVxReport_PageDrawing(pageDrawingMessage(m_pageNo, f.message, f.className));
    }
    return m_recorder.complete();
}

// Appends a page's picture to the store at path (and writes its own picture file when
// StoreToFiles is set); record gets its size and offset.
void TVxReport::storePage(std::span<const uint8_t> picture, TVxPageRecord& record, const std::string& path)
{
    if (StoreToFiles) {
        char name[32];
        std::snprintf(name, sizeof name, "/Page%.4d.emf", m_pageNo);
        std::string file = m_files.programDir() + name;
        if (!m_files.writeWholeFile(file, picture))
            throw EFCreateError(createFileFailedMessage(file));
    }
    const int64_t offset = m_storeWriter->position();
    if (offset < 0 || offset + int64_t(picture.size()) > kMaxStoreOffset)
        throw EWriteError("Plik raportowy przekroczył 2 GB; zapisano strony do " + std::to_string(m_pageNo - 1));
    record.PictureSize = PagePictureSize(picture);
    record.PictureOffset = int32_t(offset);
    writeToStore(picture.data(), picture.size(), path);
}

bool TVxReport::BuildPageStore()
{
    clearError();
    m_pageNo = 0;
    ClosePageStore();
    ClearPageIndex();
    try {
        if (trimmed(ReportFile).empty())
            throw EVxReport_FileNotDefined();
        if (!OnPaintPage)
            throw EVxReport_NoPaintEvent();
        ProgressScope progress(m_progress, ShowPrintProgress, "Tworzenie raportu");
        try {
            const std::string path = resolvedReportFile();
            std::string reason;
            m_storeWriteFailed = false;
            m_storeWriter = m_files.createExclusive(path, reason);
            if (!m_storeWriter)
                throw EVxReport_CreateFileFailed(createFileFailedMessage(path));

            bool stop = false;
            while (!stop) {
                ++m_pageNo;
                TVxPageRecord record;
                record.PageNo = m_pageNo;
                if (ShowPrintProgress)
                    m_progress.setPageLabel("Strona " + std::to_string(m_pageNo));
                m_progress.processPendingMessages();
                LatchPageSettings(&record);

                storePage(recordPage(stop), record, path);

                if (ShowPrintProgress && m_progress.cancelRequested())
                    throw EVxReport_UserAbort();
                PageIndex.push_back(record);
            }
        } catch (...) {
            closePageStoreForWriting();
            ClearPageIndex();
            throw;
        }
        // A store whose index could not be written is no store: the run fails.
        std::unique_ptr<OutputFile> writer = std::move(m_storeWriter);
        const bool stored = finishPageStore(*writer, PageIndex);
        ClearPageIndex();
        if (!stored)
            throw EWriteError("Błąd zapisu pliku raportowego " + resolvedReportFile());
    } catch (const Exception& e) {
        fail(e);
        m_storeWriter.reset();
        return false;
    } catch (const std::exception& e) {
        fail(RunError(describe(e)));
        m_storeWriter.reset();
        return false;
    }
    return true;
}

void TVxReport::writeToStore(const void* data, size_t size, const std::string& path)
{
    if (!m_storeWriter->write(data, size)) {
        m_storeWriteFailed = true;
        throw EWriteError("Błąd zapisu pliku raportowego " + path);
    }
}

void TVxReport::closePageStoreForWriting()
{
    if (!m_storeWriter)
        return;
    // After a cancel or an error the pages finished so far still make a complete store, unless
    // the store itself could not be written: then it stays without an end marker.
    std::unique_ptr<OutputFile> writer = std::move(m_storeWriter);
    if (m_storeWriteFailed)
        writer->close();
    else
        finishPageStore(*writer, PageIndex);
}

void TVxReport::ShowError()
{
    if (m_errorKind == ReportError::UserAbort)
        return;
    m_progress.showErrorBox(errorBoxText(m_errorClassName, m_errorMessage));
}

ViewerWindowState viewerWindowStateFromWord(const std::string& word)
{
    std::string upper = word;
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "MAXIMIZED")
        return ViewerWindowState::Maximized;
    if (upper == "MINIMIZED")
        return ViewerWindowState::Minimized;
    if (upper == "NORMAL")
        return ViewerWindowState::Normal;
    return ViewerWindowState::Unchanged;
}

void TVxReport::ShowReport(const std::string& WindowState)
{
    if (!m_viewer)
        return;
    // The store is closed when the display ends, however it ends.
    struct StoreCloser {
        TVxReport& report;
        ~StoreCloser() { report.ClosePageStore(); }
    } closer{*this};
    try {
        const bool opened = OpenPageStore();
        if (m_storeStatus == StoreStatus::FileNotDefined || m_storeStatus == StoreStatus::NotFound) {
            m_progress.showErrorBox(m_errorMessage);
            return;
        }
        m_viewer->setViewerState(viewerWindowStateFromWord(WindowState));
        m_viewer->prepareFirstShow();
        if (!opened) {
            // A store without pages shows nothing and says nothing.
            if (m_storeStatus != StoreStatus::Empty)
                m_progress.showErrorBox(m_errorMessage);
            return;
        }
        m_viewer->setViewerCaption(ReportTitle);
        CurrentPage = 1;
        if (PageCount > 0)
            m_viewer->showPages(*this);
    } catch (const Exception& e) {
        m_progress.showErrorBox(e.message());
    } catch (const std::exception& e) {
        m_progress.showErrorBox(describe(e).message);
    }
}

bool TVxReport::OpenPageStore()
{
    ClosePageStore();
    StoreOpenResult r = openPageStore(m_files, ReportFile, resolvedReportFile(), m_pageStore, PageIndex);
    m_storeStatus = r.status;
    PageCount = int32_t(PageIndex.size());
    CurrentPage = PageCount > 0 ? 1 : 0;
    if (r.status != StoreStatus::Ok) {
        m_errorMessage = r.message;
        m_errorClassName = r.status == StoreStatus::Empty ? "" : "EReadError";
        m_errorKind = r.status == StoreStatus::Empty ? ReportError::None : ReportError::ReadError;
        return false;
    }
    return true;
}

void TVxReport::ClosePageStore()
{
    m_pageStore.reset();
    PageIndex.clear();
    PageCount = 0;
}

bool TVxReport::readStoredPage(int pageNo, std::vector<uint8_t>& picture, std::string& error)
{
    if (!m_pageStore || pageNo < 1 || pageNo > int(PageIndex.size())) {
        error = kStoreDamagedMessage;
        return false;
    }
    return readStoredPicture(*m_pageStore, PageIndex[size_t(pageNo - 1)], picture, error);
}

void TVxReport::LoadStoredPage(std::vector<uint8_t>& picture, int pageNo)
{
    std::string error;
    if (!readStoredPage(pageNo, picture, error))
        throw EReadError(error);
    if (pageNo < int(PageIndex.size())) {
        const TVxPageRecord& next = PageIndex[size_t(pageNo)];
        MargLeft = next.MargLeft;
        MargTop = next.MargTop;
        PaperOrient = next.Orientation == 'L' ? vxLandscape : vxPortrait;
    }
}

} // namespace quillon
