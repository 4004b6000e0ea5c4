#include "OutputTarget.h"

#include "AppFactory.h"
#include "JobResult.h"
#include "JobSession.h"
#include "PdfPrinter.h"
#include "settings/Settings.h"

namespace quillon {

std::unique_ptr<ReportPrinter> makePrinter(OutputKind kind, const RenderOptions& o, const std::string& output,
                                           const std::string& dataDir)
{
    switch (kind) {
    case OutputKind::PdfFile:
        return std::make_unique<PdfFilePrinter>(output, o.codePage);
    case OutputKind::Printer:
        return makeCupsPrinter(o.printerName, o.codePage, dataDir);
    default:
        return makeSheetPrinter();
    }
}

JobResult finishPrinting(JobSession& session, OutputKind kind, bool ok)
{
    if (!ok)
        return JobResult::failed(session.failureText());
    if (kind == OutputKind::PdfFile && !static_cast<PdfFilePrinter&>(session.printer()).finish())
        return JobResult::failed(session.printer().lastError());
    return {};
}

} // namespace quillon
