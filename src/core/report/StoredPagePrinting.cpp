#include "report/StoredPagePrinting.h"

#include "report/VxReport.h"

#include <algorithm>

namespace quillon {

PageRange confinePageRange(PageRange range, int count)
{
    auto confine = [count](int v) { return v < 1 ? 1 : std::min(v, count); };
    return {confine(range.first), confine(range.last)};
}

bool printStoredPages(TVxReport& report, PageRange range)
{
    if (range.first > range.last || range.first < 1 || range.last > int(report.PageIndex.size()))
        return true;

    const TVxOnPaintPage savedHandler = report.OnPaintPage;
    const int32_t savedLeft = report.MargLeft;
    const int32_t savedTop = report.MargTop;
    const TVxPaperOrient savedOrient = report.PaperOrient;
    const TVxPrintDest savedDest = report.PrintDestination();

    const TVxPageRecord& first = report.PageIndex[size_t(range.first - 1)];
    report.SetPrintDestination(vxPrinter);
    report.MargLeft = first.MargLeft;
    report.MargTop = first.MargTop;
    report.PaperOrient = first.Orientation == 'P' ? vxPortrait : vxLandscape;

    const bool ok = report.PrintPages(true, range.first, range.last);

    report.OnPaintPage = savedHandler;
    report.MargLeft = savedLeft;
    report.MargTop = savedTop;
    report.PaperOrient = savedOrient;
    report.SetPrintDestination(savedDest);
    if (!ok)
        report.ShowError();
    return ok;
}

} // namespace quillon
