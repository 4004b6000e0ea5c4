#pragma once
// A spool file rendered into a page store: the run that draws nothing, so it needs neither fonts
// nor any window toolkit.

#include "JobResult.h"
#include "RenderOptions.h"

namespace quillon {

class ReportProgress;

// options.output is the page store; progress: the page progress to show, or null for none.
JobResult renderToStore(const RenderOptions& options, ReportProgress* progress);

} // namespace quillon
