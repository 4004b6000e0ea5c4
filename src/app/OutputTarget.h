#pragma once
// Where a run's pages go, as its options name it.

#include "JobResult.h"
#include "RenderOptions.h"

#include <memory>
#include <string>

namespace quillon {

class JobSession;
class ReportPrinter;
struct TSettings;

enum class OutputKind { PageStore, PngPages, PdfFile, Printer };

// -p prints; otherwise the output's extension decides (.png, .pdf, anything else a page store).
OutputKind outputKindOf(const RenderOptions& options);

// The file of one PNG page: "out.png" gives "out-0001.png" for page 1.
std::string pngPageName(const std::string& output, int page);

// The settings of a job printed with these options: font, font size, orientation and emulation.
TSettings jobSettings(const RenderOptions& options);

// The printer a run prints on: the whole A4 sheet for files, a PDF file at output, or the CUPS
// queue of the options (with its upload notes in dataDir).
std::unique_ptr<ReportPrinter> makePrinter(OutputKind kind, const RenderOptions& options,
                                           const std::string& output, const std::string& dataDir);

// A printing run's end: a PDF file is written only when the whole run succeeded (an older file
// of that name stays as it was otherwise). What to tell the user.
JobResult finishPrinting(JobSession& session, OutputKind kind, bool ok);

} // namespace quillon
