// quillon-draw: quillon-render's runs that draw (PNG pages, a PDF, printing), its preview, its
// watcher and its settings, started by quillon-render in its place with the same arguments.

#include "AppPaths.h"
#include "CliMessages.h"
#include "CommandLine.h"
#include "PdfPrinter.h"
#include "OutputTarget.h"
#include "ProgramLaunch.h"
#include "RenderFile.h"
#include "RenderOptions.h"
#include "SettingsAccess.h"
#include "TerminalProgress.h"
#include "AppFactory.h"
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
    const auto watcher = quillon::makeWatcher(settings, progress, hooks);
    if (once) {
        watcher->runPass();
        return 0;
    }
    watcher->start(settings.PollingFreq * 1000);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    quillon::removeTemporariesOnSignals();
    int status = 0;
    std::optional<quillon::CommandLine> line = quillon::readCommandLine(argc, argv, status);
    if (!line)
        return status;
    using Mode = quillon::CommandLine::Command;
    const Mode mode = line->command;
    std::optional<quillon::RenderOptions> options;
    if (mode == Mode::Render)
        options = std::move(line->render);
    if (options && options->preview)
        return quillon::runInstead("quillon-preview", "the preview window", argv);
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
