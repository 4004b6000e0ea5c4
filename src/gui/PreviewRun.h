#pragma once
// A spool file or a page store shown in the preview window, with the print command printing on the
// current printer: what quillon-render --preview does, and what the tray program calls.

#include "JobResult.h"
#include "RenderOptions.h"

namespace quillon {

// A spool file is first rendered into a temporary page store with the options' font, size,
// orientation and code page; a page store is shown as it is. The window opens in the normal state
// and the call returns when it is closed. Needs a QApplication. Fails with the reason when the
// pages cannot be shown.
JobResult previewFile(const RenderOptions& options);

} // namespace quillon
