// Pickup latency: the time from a spool file's close to its job reaching CUPS, through the watcher
// service that quillon-render --watch and the tray program run, on a private CUPS scheduler.
//
// Two runs: with instant pickup (the folder watch) and with polling alone at the default 4 s. A
// writer thread waits a random 200 to 700 ms (polling: 200 to 4200 ms, so that the files come at
// any point of the tick, which restarts after each pass), writes a small spool file into the watched folder,
// closes it, and asks the scheduler every 2 ms for its jobs until the new one is there. Reports
// the median, the 90th percentile, the lowest and the highest latency of each run.
//
//     quillon-bench-pickup [instant-count [polling-count]]     (defaults 30 and 12)
//
// Needs root (the scheduler runs as root). It measures and reports; it never judges the times.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "CupsScheduler.h"
#include "Measure.h"
#include "AppFactory.h"
#include "report/ReportProgress.h"
#include "settings/Settings.h"

#include <QGuiApplication>
#include <QMetaObject>

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using quillon::test::CupsScheduler;
namespace fs = std::filesystem;
using namespace quillon::bench;

namespace {

int jobCount(const char* queue)
{
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
    cupsFreeJobs(n, jobs);
    return n;
}

// Latencies in milliseconds of count files written one after another into folder.
// Each file comes after a random pause of 200 ms up to 200 + spreadMs.
std::vector<double> measure(const std::string& folder, int count, int spreadMs)
{
    std::vector<double> ms;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pause(200, 200 + spreadMs);
    int before = jobCount("capture");
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        const std::string text = "\x1b" "EPOMIAR " + std::to_string(i) + "\x1b" "F\r\nZażółć gęślą jaźń\r\n\f";
        const std::string path = folder + "/pomiar" + std::to_string(i) + ".prn";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size())) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        ::close(fd);
        const auto closed = Clock::now();
        while (jobCount("capture") <= before) {
            if (Clock::now() - closed > std::chrono::seconds(30)) {
                std::fprintf(stderr, "no job within 30 s of the close of %s\n", path.c_str());
                std::exit(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - closed).count());
        ++before;
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    int instantCount = 30;
    int pollingCount = 12;
    parseBenchOptions("quillon-bench-pickup", argc, argv,
                      {{"instant-count", "N", &instantCount, 1, 10000, "files picked up by the folder watch"},
                       {"polling-count", "N", &pollingCount, 1, 10000, "files picked up by polling alone"}});
    if (::geteuid() != 0) {
        fail("needs root for the private CUPS scheduler");
        return 2;
    }
    const std::string root = (fs::temp_directory_path() / ("quillon-pickup-" + std::to_string(::getpid()))).string();
    fs::create_directories(root + "/spool");
    fs::create_directories(root + "/data");
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    CupsScheduler cups;
    if (!cups.ok() || !cups.addQueue("capture", true)) {
        return fail("private scheduler: " + cups.error());
    }
    QGuiApplication app(argc, argv);
    app.setOrganizationName("Terlo");
    app.setApplicationName("QuillonPrint");

    quillon::TSettings settings;
    settings.Preview = false;
    settings.PeekPaths = {root + "/spool/*.prn"};
    quillon::SilentProgress progress;
    quillon::SpoolIntake::Hooks hooks;
    hooks.problem = [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); };

    for (bool instant : {true, false}) {
        const auto watcher = quillon::makeWatcher(settings, progress, hooks);
        watcher->setInstantPickup(instant);
        watcher->start(settings.PollingFreq * 1000);
        std::vector<double> ms;
        std::thread writer([&] {
            ms = instant ? measure(root + "/spool", instantCount, 500)
                         : measure(root + "/spool", pollingCount, settings.PollingFreq * 1000);
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        });
        app.exec();
        writer.join();
        reportSpread(instant ? "instant pickup (inotify)" : "polling alone, every 4 s", ms, "files");
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
