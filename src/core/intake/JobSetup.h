#pragma once
// What a print job does between opening its spool file and running the report: reset the
// emulated printer, read the job markers, and set the report up for the file.

#include <string>
#include <string_view>

namespace quillon {

class PageRenderer;
class ReportPrinter;
class TVxReport;
struct TPrinterState;
struct TSettings;

// header: the first bytes of the file (up to 16 are looked at); path: the file's full path.
void prepareJob(TPrinterState& state, const TSettings& settings, ReportPrinter& printer,
                std::string_view header, const std::string& path, TVxReport& report,
                PageRenderer& renderer);

} // namespace quillon
