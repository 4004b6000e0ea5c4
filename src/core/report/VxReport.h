#pragma once
// The report component: calls the page handler once per page, records each page as a page
// picture, and either prints the pages as they come or writes them into the page store; prints
// ranges of stored pages later.

#include "gdi/EmfRecorder.h"
#include "report/PageRecord.h"
#include "report/PageStore.h"
#include "report/PaperSizes.h"
#include "report/ReportErrors.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class FileAccess;
class InputFile;
class OutputFile;
class ReportPrinter;
class ReportProgress;
class ReportViewer;
class TVxCanvas;
class TVxReport;

using TVxOnPaintPage = std::function<void(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt)>;

class TVxReport {
public:
    // The collaborators are shared by the whole program and outlive the report.
    TVxReport(ReportPrinter& printer, FileAccess& files, ReportProgress& progress);
    ~TVxReport();
    TVxReport(const TVxReport&) = delete;
    TVxReport& operator=(const TVxReport&) = delete;

    // Published properties.
    std::string ReportFile;
    std::string ReportTitle;
    TVxPrintDest PrintDestination() const { return m_printDestination; }
    void SetPrintDestination(TVxPrintDest dest) { m_printDestination = dest; }
    TVxPaperFormat PaperFormat() const { return m_paperFormat; }
    void SetPaperFormat(TVxPaperFormat format);
    TVxPaperOrient PaperOrient = vxPortrait;
    int32_t PaperWidth() const { return m_paperWidth; }
    void SetPaperWidth(int32_t width);
    int32_t PaperLength() const { return m_paperLength; }
    void SetPaperLength(int32_t length);
    int32_t MargLeft = 0;
    int32_t MargTop = 0;
    int32_t MargRight = 0;
    int32_t MargBottom = 0;
    bool ShowPrintProgress = true;
    TVxOnPaintPage OnPaintPage;
    int32_t PageNo() const { return m_pageNo; }
    const std::string& ErrorMessage() const { return m_errorMessage; }
    const std::string& ErrorClassName() const { return m_errorClassName; }
    ReportError ErrorKind() const { return m_errorKind; }
    bool PagesAsDocs = true;
    bool StoreToFiles = false;
    bool MarginsTuned = true;
    static constexpr const char* kVersion = "2007.05.30";
    std::string Version() const { return kVersion; }
    void SetVersion(const std::string&) {}

    // Runs towards PrintDestination.
    bool Run();
    // Fresh pages (FromStore false) or stored pages FirstPage..LastPage of the open store.
    bool PrintPages(bool FromStore, int FirstPage, int LastPage);
    bool BuildPageStore();
    // Shows the last error unless it was the user's cancel.
    void ShowError();
    // Opens the page store named by ReportFile and shows its pages in the preview window, modally;
    // WindowState is "Maximized", "Minimized" or "Normal" in any letter case. The store is closed
    // afterwards whatever happens. Problems are shown in the error box; nothing is raised.
    void ShowReport(const std::string& WindowState);
    // The preview window of this program; null where there is none (ShowReport does nothing).
    // It outlives the report or is reset before it goes.
    void setViewer(ReportViewer* viewer) { m_viewer = viewer; }
    ReportViewer* viewer() const { return m_viewer; }
    // The program's current printer, which the report prints on.
    ReportPrinter& printer() { return m_printer; }
    void ClearPageIndex() { PageIndex.clear(); }

    // The page store as opened for reading: the preview and the printing of stored pages use it.
    // Returns false and sets the error fields when it cannot be opened or is damaged.
    bool OpenPageStore();
    void ClosePageStore();
    bool pageStoreOpen() const { return m_pageStore != nullptr; }
    // How the last OpenPageStore ended.
    StoreStatus pageStoreStatus() const { return m_storeStatus; }
    std::vector<TVxPageRecord> PageIndex;
    int32_t PageCount = 0;
    int32_t CurrentPage = 0;
    // Reads stored page PageNo (1-based) into picture and presets the next page's settings.
    void LoadStoredPage(std::vector<uint8_t>& picture, int pageNo);
    // Reads stored page pageNo into picture and nothing else; false with the reason when the
    // store is not open or the page cannot be read.
    bool readStoredPage(int pageNo, std::vector<uint8_t>& picture, std::string& error);

    // The store's path: ReportFile in the program's folder unless it names a folder itself.
    std::string resolvedReportFile() const;

    // Page-start copies of the settings in force for the page being produced.
    struct PageSettings {
        TVxPaperFormat PaperFormat = pfA4;
        TVxPaperOrient PaperOrient = vxPortrait;
        int32_t PaperWidth = 21000;
        int32_t PaperLength = 29700;
        int32_t MargLeft = 0;
        int32_t MargTop = 0;
        int32_t MargRight = 0;
        int32_t MargBottom = 0;
    };
    const PageSettings& current() const { return m_cur; }
    void LatchPageSettings(TVxPageRecord* record);

    // Records one new page through OnPaintPage.
    void PaintFreshPage(EmfRecorder& picture, bool& StopIt);
    // Plays a page picture on the current printer page at (X, Y) report units.
    bool PrintPagePicture(std::span<const uint8_t> picture, int32_t X, int32_t Y);
    // The printer's unprintable left and top borders in report units.
    void PrinterPhysicalOffset(int32_t& X, int32_t& Y);

private:
    Size pictureFrame() const;
    void fail(const Exception& e);
    void closePageStoreForWriting();
    void clearError();
    // The steps of BuildPageStore for one page.
    std::span<const uint8_t> recordPage(bool& stop);
    void storePage(std::span<const uint8_t> picture, TVxPageRecord& record, const std::string& path);
    void writeToStore(const void* data, size_t size, const std::string& path);
    // The steps of PrintPages.
    void printEachPage(bool fromStore, int firstPage, int lastPage);
    void startPrinterPage(bool first);
    std::span<const uint8_t> nextPagePicture(bool fromStore, int lastPage, std::vector<uint8_t>& stored, bool& stop);
    void stopOnCancel();

    ReportPrinter& m_printer;
    FileAccess& m_files;
    ReportProgress& m_progress;
    ReportViewer* m_viewer = nullptr;
    StoreStatus m_storeStatus = StoreStatus::Ok;

    TVxPrintDest m_printDestination = vxPreviewer;
    TVxPaperFormat m_paperFormat = pfA4;
    int32_t m_paperWidth = 21000;
    int32_t m_paperLength = 29700;
    int32_t m_pageNo = 0;
    std::string m_errorMessage;
    std::string m_errorClassName;
    ReportError m_errorKind = ReportError::None;
    bool m_storeWriteFailed = false; // the store's bytes are not all there: it gets no end marker
    PageSettings m_cur;
    TVxPaperOrient m_lastOrient = vxPortrait;
    std::unique_ptr<InputFile> m_pageStore;
    std::unique_ptr<OutputFile> m_storeWriter;
    EmfRecorder m_recorder;
};

// The size of a page picture as its header states it; 0 for bytes that are no picture.
int32_t PagePictureSize(std::span<const uint8_t> picture);

} // namespace quillon
