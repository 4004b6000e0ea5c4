#pragma once
// Where a run's pages go, as its options name it.

#include "RenderOptions.h"

#include <string>

namespace quillon {

enum class OutputKind { PageStore, PngPages, PdfFile, Printer };

// -p prints; otherwise the output's extension decides (.png, .pdf, anything else a page store).
OutputKind outputKindOf(const RenderOptions& options);

// The file of one PNG page: "out.png" gives "out-0001.png" for page 1.
std::string pngPageName(const std::string& output, int page);

} // namespace quillon
