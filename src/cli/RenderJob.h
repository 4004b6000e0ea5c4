#pragma once

#include "RenderOptions.h"

namespace quillon {

// Renders one spool file as the job runner would, into a page store or PNG pages. Returns the
// exit status: 0 on success, 1 when the run failed (the error is on standard error).
int runRender(const RenderOptions& options);

} // namespace quillon
