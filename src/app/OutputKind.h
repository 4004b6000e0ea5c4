#pragma once
// Where a run's pages go, as its options name it, and what every kind of run shares.

#include "RenderOptions.h"

#include <memory>
#include <string>

namespace quillon {

class ReportPrinter;
struct TSettings;

enum class OutputKind { PageStore, PngPages, PdfFile, Printer };

// -p prints; otherwise the output's extension decides (.png, .pdf, anything else a page store).
OutputKind outputKindOf(const RenderOptions& options);

// The file of one PNG page: "out.png" gives "out-0001.png" for page 1.
std::string pngPageName(const std::string& output, int page);

// The settings of a job printed with these options: font, font size, orientation and emulation.
TSettings jobSettings(const RenderOptions& options);

// The printer of pages that go to files: the whole A4 sheet, and nothing printed.
std::unique_ptr<ReportPrinter> makeSheetPrinter();

} // namespace quillon
