#include "StoreRun.h"

#include "JobSession.h"
#include "OutputKind.h"
#include "RenderInput.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <filesystem>

namespace quillon {

JobResult renderToStore(const RenderOptions& o, ReportProgress* shownProgress)
{
    SilentProgress silent;
    ReportProgress& progress = shownProgress ? *shownProgress : silent;
    RenderInput in;
    if (auto ended = openRenderInput(o, OutputKind::PageStore, in))
        return *ended;
    if (in.kind == DocumentKind::PageStore)
        return JobResult::badRequest("a page store goes to .png, .pdf or a printer");
    if (auto ended = refuseSpoolInput(o, in))
        return *ended;

    // The job runs as a preview would, into the store named by the output.
    TSettings settings = jobSettings(o);
    settings.Preview = true;
    const std::unique_ptr<ReportPrinter> sheet = makeSheetPrinter();
    // The run writes its store and nothing else: the report's own files, were any asked for,
    // would go beside it.
    JobSession session(*sheet, settings, progress, std::filesystem::path(in.output).parent_path().string());
    session.report().ReportFile = in.output;
    if (!session.runSpoolJob(in.fd, in.input))
        return JobResult::failed(session.failureText());
    return {};
}

} // namespace quillon
