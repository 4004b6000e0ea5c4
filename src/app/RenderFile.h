#pragma once
// A spool file or a page store rendered to a destination: a page store, PNG pages, a PDF file or
// a CUPS printer. What quillon-render does with its arguments.

#include "JobResult.h"
#include "RenderOptions.h"

namespace quillon {

class ReportProgress;

// progress: the page progress to show, or null for none.
JobResult renderFile(const RenderOptions& options, ReportProgress* progress);

} // namespace quillon
