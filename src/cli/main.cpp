// quillon-render: renders a DOS print spool file with the program's engine.

#include "AppPaths.h"
#include "RenderJob.h"
#include "RenderOptions.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = quillon::parseRenderOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "quillon-render: %s\n%s", error.c_str(), quillon::kRenderUsage);
        return 2;
    }
    // Fonts need a GUI application, not a display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    quillon::setApplicationNames();
    return quillon::runRender(*options);
}
