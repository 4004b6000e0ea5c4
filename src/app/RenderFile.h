#pragma once
// A spool file or a page store rendered to a destination: a page store, PNG pages, a PDF file or
// a CUPS printer. What quillon-render does with its arguments.

#include "JobResult.h"
#include "RenderOptions.h"

#include <string>

namespace quillon {

class ReportProgress;

// Whether the file at path is a page store (by the magic at its end).
bool isPageStoreFile(const std::string& path);

// progress: the page progress to show, or null for none.
JobResult renderFile(const RenderOptions& options, ReportProgress* progress);

} // namespace quillon
