// quillon-render: renders a DOS print spool file with the program's engine.

#include "AppPaths.h"
#include "CliMessages.h"
#include "PdfPrinter.h"
#include "OutputTarget.h"
#include "PreviewLaunch.h"
#include "QuillonVersion.h"
#include "RenderFile.h"
#include "RenderOptions.h"
#include "SettingsAccess.h"
#include "TerminalProgress.h"
#include "WatcherService.h"
#include "posix/TempCleanup.h"
#include "report/ReportProgress.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace {

using quillon::complain;

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
    quillon::WatcherService watcher(
        settings, std::make_unique<quillon::CupsPrinter>(std::string(), quillon::DosCodePage::Cp852),
        progress, hooks);
    if (once) {
        watcher.runPass();
        return 0;
    }
    watcher.start(settings.PollingFreq * 1000);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    quillon::removeTemporariesOnSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args == std::vector<std::string>{"--version"}) {
        std::printf("quillon-render %s\n", quillon::kVersion);
        return 0;
    }
    enum class Mode { Render, Settings, Watch, WatchOnce } mode = Mode::Render;
    if (args == std::vector<std::string>{"--settings"})
        mode = Mode::Settings;
    else if (args == std::vector<std::string>{"--watch"})
        mode = Mode::Watch;
    else if (args == std::vector<std::string>{"--watch", "--once"} || args == std::vector<std::string>{"--once", "--watch"})
        mode = Mode::WatchOnce;

    std::optional<quillon::RenderOptions> options;
    if (mode == Mode::Render) {
        std::string error;
        options = quillon::parseRenderOptions(args, error);
        if (!options) {
            std::fprintf(stderr, "quillon-render: %s\n%s", error.c_str(), quillon::kRenderUsage);
            return 2;
        }
    }
    if (options && options->preview)
        return quillon::launchPreview(argv);
    quillon::quietQtMessages();
    // Fonts need a GUI application, not a display; a run that only records pages draws none, and
    // its pages name their fonts without resolving them.
    std::unique_ptr<QCoreApplication> app;
    if (options && quillon::outputKindOf(*options) == quillon::OutputKind::PageStore) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    quillon::setApplicationNames();
    switch (mode) {
    case Mode::Settings:
        return printSettings();
    case Mode::Watch:
    case Mode::WatchOnce:
        return watchFolders(mode == Mode::WatchOnce);
    case Mode::Render:
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
