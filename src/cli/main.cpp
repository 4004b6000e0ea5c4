// quillon-render: renders a DOS print spool file with the program's engine.

#include "AppPaths.h"
#include "RenderJob.h"
#include "RenderOptions.h"
#include "WatchMode.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// Qt's remark about a missing runtime folder means nothing to a renderer that draws offscreen.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qtDefaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    enum class Mode { Render, Settings, Watch, WatchOnce } mode = Mode::Render;
    if (args == std::vector<std::string>{"--settings"})
        mode = Mode::Settings;
    else if (args == std::vector<std::string>{"--watch"})
        mode = Mode::Watch;
    else if (args == std::vector<std::string>{"--watch", "--once"} || args == std::vector<std::string>{"--once", "--watch"})
        mode = Mode::WatchOnce;
    if (mode != Mode::Render) {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        qtDefaultHandler = qInstallMessageHandler(quietMessages);
        QGuiApplication app(argc, argv);
        quillon::setApplicationNames();
        if (mode == Mode::Settings)
            return quillon::printSettings();
        return quillon::watchFolders(mode == Mode::WatchOnce);
    }
    std::string error;
    auto options = quillon::parseRenderOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "quillon-render: %s\n%s", error.c_str(), quillon::kRenderUsage);
        return 2;
    }
    // Fonts need a GUI application, not a display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
    QGuiApplication app(argc, argv);
    quillon::setApplicationNames();
    return quillon::runRender(*options);
}
