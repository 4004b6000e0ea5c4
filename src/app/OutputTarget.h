#pragma once
// The printers of the runs that draw their pages: a PDF file or a CUPS queue.

#include "JobResult.h"
#include "OutputKind.h"
#include "RenderOptions.h"

#include <memory>
#include <string>

namespace quillon {

class JobSession;
class ReportPrinter;
struct TSettings;

// The printer a run prints on: the whole A4 sheet for files, a PDF file at output, or the CUPS
// queue of the options (with its upload notes in dataDir).
std::unique_ptr<ReportPrinter> makePrinter(OutputKind kind, const RenderOptions& options,
                                           const std::string& output, const std::string& dataDir);

// A printing run's end: a PDF file is written only when the whole run succeeded (an older file
// of that name stays as it was otherwise). What to tell the user.
JobResult finishPrinting(JobSession& session, OutputKind kind, bool ok);

} // namespace quillon
