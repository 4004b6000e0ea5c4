#include "WatchMode.h"

#include "AppPaths.h"
#include "PdfPrinter.h"
#include "QSettingsStore.h"
#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "intake/SpoolIntake.h"
#include "posix/PosixFileAccess.h"
#include "posix/PosixSpoolFiles.h"
#include "report/MainReportDesign.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

namespace quillon {

namespace {

bool loadSettings(TSettings& settings)
{
    QSettingsStore store;
    try {
        ReadWriteSettings("READ", settings, store, defaultFolderPattern());
    } catch (const ESettingsError& e) {
        std::fprintf(stderr, "%s\n", e.message().c_str());
        return false;
    }
    return true;
}

} // namespace

int printSettings()
{
    TSettings settings;
    if (!loadSettings(settings))
        return 1;
    std::printf("FontName=%s\n", settings.FontName.c_str());
    std::printf("FontSize=%d\n", settings.FontSize);
    std::printf("PollingFreq=%d\n", settings.PollingFreq);
    std::printf("PageOrient=%s\n", settings.PageOrient.c_str());
    std::printf("Preview=%s\n", settings.Preview ? "ON" : "OFF");
    for (size_t i = 0; i < settings.PeekPaths.size(); ++i)
        std::printf("PeekPath%zu=%s\n", i, settings.PeekPaths[i].c_str());
    return 0;
}

int watchFolders(bool once)
{
    TSettings settings;
    if (!loadSettings(settings))
        return 1;
    settings.Preview = false; // no windows here: every job goes to the printer

    CupsPrinter printer(std::string(), DosCodePage::Cp852);
    TPrinterState state;
    PageRenderer renderer(state, settings);
    const std::string dataDir = appDataDir();
    PosixFileAccess files(dataDir);
    SilentProgress progress;
    TVxReport report(printer, files, progress);
    applyMainReportDesign(report);
    report.OnPaintPage = [&renderer](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
        renderer.RAPPaintPage(sender, canvas, stop);
    };
    PosixSpoolFileSystem spool;
    FileSkipList skip(dataDir + "/skipped-spool-files");

    QTimer timer;
    SpoolIntake::Hooks hooks;
    hooks.setTimer = [&timer, once](bool enabled) {
        if (once)
            return;
        if (enabled)
            timer.start();
        else
            timer.stop();
    };
    hooks.problem = [](const std::string& message) { std::fprintf(stderr, "quillon-render: %s\n", message.c_str()); };
    SpoolIntake intake(settings, state, renderer, report, printer, spool, skip, hooks,
                       QDir::homePath().toStdString());

    if (once) {
        intake.TimerTimer();
        return 0;
    }
    timer.setInterval(settings.PollingFreq * 1000);
    QObject::connect(&timer, &QTimer::timeout, [&intake] { intake.TimerTimer(); });
    timer.start();
    return QCoreApplication::exec();
}

} // namespace quillon
