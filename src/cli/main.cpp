// quillon-render: renders a DOS print spool file with the program's engine.

#include "AppPaths.h"
#include "PdfPrinter.h"
#include "PreviewRun.h"
#include "QuillonVersion.h"
#include "RenderFile.h"
#include "RenderOptions.h"
#include "SettingsAccess.h"
#include "TerminalProgress.h"
#include "AppFactory.h"
#include "posix/TempCleanup.h"
#include "report/ReportProgress.h"

#include <QApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <unistd.h>

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// Qt's remark about a missing runtime folder means nothing to a renderer that draws offscreen.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qtDefaultHandler(type, context, message);
}

void complain(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        std::fprintf(stderr, "quillon-render: %s\n", line.c_str());
}

int printSettings()
{
    quillon::TSettings settings;
    std::string error;
    if (!quillon::loadSettings(settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::fputs(quillon::describeSettings(settings).c_str(), stdout);
    return 0;
}

// The intake without windows: every job goes to the default printer, problems to stderr.
int watchFolders(bool once)
{
    quillon::TSettings settings;
    std::string error;
    if (!quillon::loadSettings(settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    settings.Preview = false;
    quillon::SilentProgress progress;
    quillon::SpoolIntake::Hooks hooks;
    hooks.problem = complain;
    hooks.note = complain;
    const auto watcher = quillon::makeWatcher(settings, progress, hooks);
    if (once) {
        watcher->runPass();
        return 0;
    }
    watcher->start(settings.PollingFreq * 1000);
    return QCoreApplication::exec();
}

// The preview window needs a display: a platform chosen by the user, or an X or Wayland session.
bool displayAvailable()
{
    return std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

int showPreview(int argc, char** argv, const quillon::RenderOptions& options)
{
    if (!displayAvailable()) {
        std::fputs("quillon-render: --preview needs a display (DISPLAY or WAYLAND_DISPLAY is not set)\n", stderr);
        return 2;
    }
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    quillon::setApplicationNames();
    const quillon::JobResult result = quillon::previewFile(options);
    if (!result.ok())
        complain(result.message);
    return result.status;
}

} // namespace

int main(int argc, char** argv)
{
    quillon::removeTemporariesOnSignals();
    std::string error;
    std::optional<quillon::CommandLine> line =
        quillon::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    using Mode = quillon::CommandLine::Command;
    const Mode mode = line ? line->command : Mode::Render;
    if (mode == Mode::Version) {
        std::printf("quillon-render %s\n", quillon::kVersion);
        return 0;
    }

    std::optional<quillon::RenderOptions> options;
    if (mode == Mode::Render) {
        if (line)
            options = std::move(line->render);
        if (!options) {
            std::fprintf(stderr, "quillon-render: %s\n%s", error.c_str(), quillon::kRenderUsage);
            return 2;
        }
    }
    if (options && options->preview)
        return showPreview(argc, argv, *options);
    // Fonts need a GUI application, not a display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
    QGuiApplication app(argc, argv);
    quillon::setApplicationNames();
    switch (mode) {
    case Mode::Settings:
        return printSettings();
    case Mode::Watch:
    case Mode::WatchOnce:
        return watchFolders(mode == Mode::WatchOnce);
    case Mode::Render:
    case Mode::Version:
        break;
    }
    quillon::TerminalProgress terminal;
    const quillon::JobResult result = quillon::renderFile(*options, ::isatty(STDERR_FILENO) ? &terminal : nullptr);
    if (!result.ok()) {
        complain(result.message);
        if (result.status == quillon::JobResult::BadRequest)
            std::fputs(quillon::kRenderUsage, stderr);
    }
    return result.status;
}
