// quillon-render: renders a DOS print spool file with the program's engine.
//
// A run that only records pages (into a page store) is done here: it draws nothing, so this
// program loads neither a window toolkit nor fonts. Every other run (PNG pages, a PDF, printing,
// the preview, the watcher, the settings) is done by quillon-draw, started in its place.

#include "CliMessages.h"
#include "CommandLine.h"
#include "OutputKind.h"
#include "ProgramLaunch.h"
#include "RenderOptions.h"
#include "StoreRun.h"
#include "TerminalProgress.h"
#include "posix/TempCleanup.h"

#include <cstdio>
#include <optional>

#include <unistd.h>

int main(int argc, char** argv)
{
    int status = 0;
    const std::optional<quillon::CommandLine> line = quillon::readCommandLine(argc, argv, status);
    if (!line)
        return status;
    const quillon::RenderOptions& options = line->render;
    if (line->command != quillon::CommandLine::Render || options.preview
        || quillon::outputKindOf(options) != quillon::OutputKind::PageStore)
        return quillon::runInstead("quillon-draw", "the renderer", argv);

    quillon::removeTemporariesOnSignals();
    quillon::TerminalProgress terminal;
    const quillon::JobResult result = quillon::renderToStore(options, ::isatty(STDERR_FILENO) ? &terminal : nullptr);
    if (!result.ok()) {
        quillon::complain(result.message);
        if (result.status == quillon::JobResult::BadRequest)
            std::fputs(quillon::kRenderUsage, stderr);
    }
    return result.status;
}
