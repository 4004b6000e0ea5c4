#include "intake/JobSetup.h"

#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "intake/JobHeader.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

namespace quillon {

void prepareJob(TPrinterState& state, const TSettings& settings, ReportPrinter& printer,
                std::string_view header, const std::string& path, TVxReport& report,
                PageRenderer& renderer)
{
    ResetPrinterState(state, settings, printer);
    header = header.substr(0, kJobHeaderSize);
    report.PaperOrient = jobOrientation(header, settings.PageOrient);
    renderer.JobFontSize = jobFontSize(header, settings.FontSize);
    state.scale = double((long double)renderer.JobFontSize / 12.0L);
    report.ReportTitle = path;
    if (settings.Preview) {
        report.SetPrintDestination(vxPreviewer);
        report.ShowPrintProgress = true;
    } else {
        report.SetPrintDestination(vxPrinter);
        report.ShowPrintProgress = false;
    }
}

} // namespace quillon
