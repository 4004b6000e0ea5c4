#include "AppFactory.h"

#include "AppPaths.h"
#include "CupsUploadJournal.h"
#include "OutputTarget.h"
#include "PdfPrinter.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QDir>

#include <filesystem>

namespace quillon {

std::unique_ptr<CupsPrinter> makeCupsPrinter(const std::string& name, DosCodePage codePage, const std::string& dataDir)
{
    auto printer = std::make_unique<CupsPrinter>(name, codePage);
    const std::string journal = dataDir + "/cups-uploads";
    cancelCutOffUploads(journal);
    printer->setUploadJournal(journal);
    return printer;
}

std::unique_ptr<WatcherService> makeWatcher(const TSettings& settings, ReportProgress& progress,
                                            SpoolIntake::Hooks hooks)
{
    return std::make_unique<WatcherService>(settings, makeCupsPrinter(std::string(), DosCodePage::Cp852, appDataDir()),
                                            progress, std::move(hooks));
}

JobResult StorePreview::open(const RenderOptions& options)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string input = fs::absolute(options.input, ec).lexically_normal().string();
    if (!fs::exists(input, ec))
        return JobResult::failed("cannot open " + input + ": no such file");

    std::string store = input;
    if (!isPageStoreFile(input)) {
        m_temp = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillon-preview-XXXXXX"));
        if (!m_temp->isValid())
            return JobResult::failed("cannot create a temporary folder");
        RenderOptions render = options;
        render.print = false;
        render.preview = false;
        render.output = m_temp->filePath(QStringLiteral("preview.vxr")).toStdString();
        JobResult built = renderFile(render, &m_progress);
        if (!built.ok())
            return built;
        store = render.output;
    }

    const std::string dataDir = appDataDir();
    m_session = std::make_unique<JobSession>(makeCupsPrinter(options.printerName, options.codePage, dataDir),
                                             m_settings, m_progress, dataDir);
    // No printer at all is no reason not to look: the print command then says what is wrong.
    m_session->printer().selectDefaultPrinter();
    TVxReport& report = m_session->report();
    if (!m_session->openStore(store)) {
        const std::string why = report.ErrorMessage();
        return JobResult::failed(why.empty() ? "the page store holds no pages" : why);
    }
    report.ClosePageStore();
    report.ReportTitle = fs::path(input).filename().string();
    return {};
}

PrintJob::PrintJob(const RenderOptions& options, ReportProgress& progress, const std::string& dataDir,
                   const std::string& pdfPath)
    : m_settings(jobSettings(options))
{
    std::unique_ptr<ReportPrinter> printer;
    if (pdfPath.empty()) {
        auto queue = std::make_unique<CupsPrinter>(options.printerName, options.codePage);
        m_queue = queue.get();
        printer = std::move(queue);
    } else {
        auto file = std::make_unique<PdfFilePrinter>(pdfPath, options.codePage);
        m_pdfFile = file.get();
        printer = std::move(file);
    }
    m_session = std::make_unique<JobSession>(std::move(printer), m_settings, progress, dataDir);
}

} // namespace quillon
