#pragma once
// The report of the main window as it is designed: the page store "preview.vxr", A4 portrait,
// a 3 mm left margin, one document for all pages.

#include "report/VxReport.h"

namespace quillon {

inline void applyMainReportDesign(TVxReport& report)
{
    report.ReportFile = "preview.vxr";
    report.SetPrintDestination(vxPreviewer);
    report.SetPaperFormat(pfA4);
    report.PaperOrient = vxPortrait;
    report.MargLeft = 300;
    report.MargTop = 0;
    report.MargRight = 0;
    report.MargBottom = 0;
    report.ShowPrintProgress = true;
    report.PagesAsDocs = false;
    report.StoreToFiles = false;
    report.MarginsTuned = true;
    report.ReportTitle = "Quillon Print";
}

} // namespace quillon
