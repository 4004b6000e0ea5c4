#include "PreviewRun.h"

#include "AppPaths.h"
#include "JobSession.h"
#include "PdfPrinter.h"
#include "PreviewForm.h"
#include "RenderFile.h"
#include "WidgetProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QTemporaryDir>

#include <filesystem>

namespace quillon {

JobResult previewFile(const RenderOptions& options)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string input = fs::absolute(options.input, ec).lexically_normal().string();
    if (!fs::exists(input, ec))
        return JobResult::failed("cannot open " + input + ": no such file");

    WidgetProgress progress;
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/quillon-preview-XXXXXX"));
    std::string store = input;
    if (!isPageStoreFile(input)) {
        if (!temp.isValid())
            return JobResult::failed("cannot create a temporary folder");
        RenderOptions render = options;
        render.print = false;
        render.preview = false;
        render.output = temp.filePath(QStringLiteral("preview.vxr")).toStdString();
        JobResult built = renderFile(render, &progress);
        if (!built.ok())
            return built;
        store = render.output;
    }

    TSettings settings;
    JobSession session(std::make_unique<CupsPrinter>(options.printerName, options.codePage), settings,
                       progress, appDataDir());
    // No printer at all is no reason not to look: the print command then says what is wrong.
    session.printer().selectDefaultPrinter();
    TVxReport& report = session.report();
    if (!session.openStore(store)) {
        const std::string why = report.ErrorMessage();
        return JobResult::failed(why.empty() ? "the page store holds no pages" : why);
    }
    report.ClosePageStore();
    report.ReportTitle = fs::path(input).filename().string();

    TPreviewForm form;
    form.setCodePage(options.codePage);
    report.setViewer(&form);
    report.ShowReport("Normal");
    report.setViewer(nullptr);
    return {};
}

} // namespace quillon
