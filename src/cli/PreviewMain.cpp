// quillon-preview: the preview window of `quillon-render --preview`, which starts it with its own
// arguments. A program of its own, so that quillon-render loads no window toolkit for the runs
// that draw no window.

#include "AppPaths.h"
#include "CliMessages.h"
#include "PreviewRun.h"
#include "RenderOptions.h"
#include "posix/TempCleanup.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    quillon::removeTemporariesOnSignals();
    std::string error;
    const std::optional<quillon::RenderOptions> options =
        quillon::parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options || !options->preview) {
        quillon::complain(options ? "quillon-preview shows what --preview asks for" : error);
        std::fputs(quillon::kRenderUsage, stderr);
        return 2;
    }
    if (!quillon::displayAvailable()) {
        quillon::complain("--preview needs a display (DISPLAY or WAYLAND_DISPLAY is not set)");
        return 2;
    }
    quillon::quietQtMessages();
    QApplication app(argc, argv);
    quillon::setApplicationNames();
    const quillon::JobResult result = quillon::previewFile(*options);
    if (!result.ok())
        quillon::complain(result.message);
    return result.status;
}
