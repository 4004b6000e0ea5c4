#pragma once
// The main window's report with the page of a whole A4 sheet and one page handler (the simple
// printer's or an Epson printer's) that renders a stream from memory into recorded pages.

#include "escp/PrinterState.h"
#include "posix/PosixFileAccess.h"
#include "report/ReportProgress.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include "FakePrinter.h"
#include "TestFiles.h"

#include <string>
#include <vector>

namespace quillon::test {

template <class Handler>
class PageHandlerHarness {
public:
    PageHandlerHarness() : files(dir.path()), report(printer, files, progress), renderer(state, settings)
    {
        report.MargLeft = 300;
        report.PagesAsDocs = false;
    }

    // Renders stream at fontSize points; startJob(renderer) readies the handler for the job.
    template <class StartJob>
    std::vector<RecordingContext> renderPages(const std::string& stream, int fontSize, int maxPages,
                                              StartJob&& startJob)
    {
        StringSource source(stream);
        state = TPrinterState{};
        state.scale = double((long double)fontSize / 12.0L);
        renderer.JobFile = &source;
        renderer.JobFontSize = fontSize;
        startJob(renderer);
        std::vector<RecordingContext> pages;
        bool stop = false;
        while (!stop && int(pages.size()) < maxPages) {
            pages.emplace_back();
            TVxCanvas canvas(pages.back());
            renderer.RAPPaintPage(report, canvas, stop);
        }
        reads = source.reads;
        renderer.JobFile = nullptr;
        return pages;
    }

    TempDir dir;
    TSettings settings;
    TPrinterState state;
    FakePrinter printer;
    PosixFileAccess files;
    SilentProgress progress;
    TVxReport report;
    Handler renderer;
    int reads = 0;
};

} // namespace quillon::test
