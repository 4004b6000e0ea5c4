// How many DOS jobs a print server renders: jobs and pages per second through a private CUPS
// scheduler, from `lp -d QUEUE` to the PDF stored by the target queue's backend, against the same
// spool files rendered directly with `quillon-render SPOOL -o x.pdf`.
//
// Spool files of 1 and 100 pages (the benchmarks' generated stream) are sent by 1 client to one
// quillon queue, and by 8 clients to a class of quillon queues (CUPS runs one job per queue at a
// time, so a class is how a server renders jobs side by side). The same jobs go through queues of a
// forwarding backend that renders nothing and hands each job to the same target queue as a second
// job: what the scheduler itself costs, the ceiling; the quillon queues' jobs/s are reported as a
// share of it: forwarding and rendering take turns, --rounds times, and the share is the median of
// the rounds' shares, so that a machine busy with other work slows both alike. The direct runs start quillon-render once per job, by 1 and by 8 workers. Every
// job's PDF is checked for its page count (a forwarded job for its bytes); a wrong one is reported
// and makes the exit status 1.
//
// Needs root (the scheduler runs as root and its backends as lp). It measures and reports; it
// never judges the times.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "CupsScheduler.h"
#include "Measure.h"
#include "PdfInfo.h"
#include "SpoolGenerator.h"
#include "WorkFolder.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace quillon::bench;
using quillon::test::CupsScheduler;
namespace fs = std::filesystem;

namespace {

struct Figures {
    double seconds = 0;
    int jobs = 0;
    int pages = 0;
    int wrongPages = 0;
    int lost = 0;

    Figures& operator+=(const Figures& o)
    {
        seconds += o.seconds;
        jobs += o.jobs;
        pages += o.pages;
        wrongPages += o.wrongPages;
        lost += o.lost;
        return *this;
    }
    double jobsPerSecond() const { return jobs / seconds; }
};

void report(const char* how, int clients, int pagesPerJob, const Figures& f)
{
    std::printf("%-22s %2d client%s %3d-page jobs: %4d jobs in %7.2f s  %7.2f jobs/s  %8.1f pages/s%s\n",
                how, clients, clients == 1 ? " " : "s", pagesPerJob, f.jobs, f.seconds,
                f.jobs / f.seconds, f.pages / f.seconds,
                f.wrongPages || f.lost ? "  (WRONG OUTPUT)" : "");
    std::fflush(stdout);
}

// Runs jobs numbered 0..count-1 on `clients` threads; job(n) does one.
template <class Job>
void onClients(int clients, int count, Job job)
{
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            for (int n = next++; n < count; n = next++)
                job(n);
        });
    for (auto& t : threads)
        t.join();
}

// What a job that reached the target queue must hold: a PDF of its pages, or the spool file as
// it was sent.
enum class Arrives { AsPdf, AsSent };

Figures throughServer(CupsScheduler& cups, const std::string& queue, const std::string& spool,
                      int pagesPerJob, int clients, int count, Arrives arrives = Arrives::AsPdf)
{
    const std::string folder = cups.captureDir("paper");
    std::error_code ec;
    fs::remove_all(folder, ec);
    Figures f;
    const auto start = Clock::now();
    std::atomic<int> refused{0};
    onClients(clients, count, [&](int) {
        if (CupsScheduler::run({"lp", "-d", queue, spool}).exitCode != 0)
            ++refused;
    });
    auto jobs = cups.waitForJobs("paper", size_t(count - refused), 600000);
    f.seconds = secondsSince(start);
    f.jobs = int(jobs.size());
    f.lost = count - f.jobs;
    const auto sent = fs::file_size(spool);
    for (const auto& job : jobs) {
        std::error_code ec;
        const bool whole = arrives == Arrives::AsSent && fs::file_size(job.documentPath, ec) == sent;
        const int pages = arrives == Arrives::AsPdf ? pdfinfoPages(job.documentPath) : whole ? pagesPerJob : 0;
        f.pages += pages;
        f.wrongPages += pages != pagesPerJob;
    }
    return f;
}

// shares: each round's quillon jobs/s over its forwarding jobs/s.
void reportShare(int clients, int pagesPerJob, const std::vector<double>& shares)
{
    std::string rounds;
    for (double share : shares)
        rounds += (rounds.empty() ? "" : ", ") + std::to_string(int(100 * share + 0.5));
    std::printf("%-22s %2d client%s %3d-page jobs: %5.1f %% of the ceiling (median of rounds: %s %%)\n",
                "quillon / forwarding", clients, clients == 1 ? " " : "s", pagesPerJob, 100 * median(shares),
                rounds.c_str());
    std::fflush(stdout);
}

Figures direct(const std::string& work, const std::string& spool, int pagesPerJob, int clients, int count)
{
    Figures f;
    std::vector<int> pages(size_t(count), -1);
    const auto start = Clock::now();
    onClients(clients, count, [&](int n) {
        const std::string out = work + "/direct-" + std::to_string(n) + ".pdf";
        if (CupsScheduler::run({QUILLON_RENDER, spool, "-o", out}, 600000).exitCode == 0)
            pages[size_t(n)] = 0;
    });
    f.seconds = secondsSince(start);
    for (int n = 0; n < count; ++n) {
        const std::string out = work + "/direct-" + std::to_string(n) + ".pdf";
        if (pages[size_t(n)] == 0)
            pages[size_t(n)] = pdfinfoPages(out);
        f.jobs += pages[size_t(n)] >= 0;
        f.lost += pages[size_t(n)] < 0;
        f.pages += std::max(pages[size_t(n)], 0);
        f.wrongPages += pages[size_t(n)] != pagesPerJob;
        std::error_code ec;
        fs::remove(out, ec);
    }
    return f;
}

// The private scheduler's queues: "paper" that stores each job's document, DOS and FWD for one
// client, and the classes DOSALL and FWDALL of `queues` queues each for eight. DOS queues render
// with the quillon backend, FWD queues forward. False, said, when they cannot be made.
bool makeQueues(CupsScheduler& cups, int queues)
{
    if (!cups.ok() || !cups.installBackend(QUILLON_BACKEND, "quillon")
        || !cups.installBackend(QUILLON_FORWARD_BACKEND, "forward") || !cups.addQueue("paper", false)
        || !cups.addDeviceQueue("DOS", "quillon:/paper") || !cups.addDeviceQueue("FWD", "forward:/paper")) {
        fail(cups.error());
        return false;
    }
    // A class of queues for each backend: DOSALL renders, FWDALL forwards.
    for (const char* prefix : {"DOS", "FWD"}) {
        const std::string scheme = std::string(prefix) == "DOS" ? "quillon" : "forward";
        const std::string cls = std::string(prefix) + "ALL";
        for (int q = 1; q <= queues; ++q) {
            const std::string name = prefix + std::to_string(q);
            if (!cups.addDeviceQueue(name, scheme + ":/paper")
                || CupsScheduler::run({"lpadmin", "-p", name, "-c", cls}).exitCode != 0) {
                fail("cannot make the class: " + cups.error());
                return false;
            }
        }
        CupsScheduler::run({"cupsenable", cls});
        CupsScheduler::run({"cupsaccept", cls});
    }
    return true;
}

// Every run: jobs of 1 and 100 pages, by 1 and 8 clients, forwarded, through the server and
// rendered directly. True when every job came out right.
bool runAll(CupsScheduler& cups, const WorkFolder& work, int small, int large, int queues, int rounds)
{
    bool wrong = false;
    std::printf("print server: 1 client -> queue DOS; 8 clients -> class of %d quillon queues; the same\n"
                "through forwarding queues FWD and FWDALL (the ceiling); %u CPUs\n", queues,
                std::thread::hardware_concurrency());
    for (int pagesPerJob : {1, 100}) {
        const std::string spool = work.path() + "/spool-" + std::to_string(pagesPerJob) + ".prn";
        std::ofstream(spool, std::ios::binary) << SpoolGenerator().generate(pagesPerJob).bytes;
        const int count = pagesPerJob == 1 ? small : large;
        for (int clients : {1, 8}) {
            Figures ceiling, server;
            std::vector<double> shares;
            for (int round = 0; round < rounds; ++round) {
                const Figures forwarded = throughServer(cups, clients == 1 ? "FWD" : "FWDALL", spool, pagesPerJob,
                                                        clients, count, Arrives::AsSent);
                const Figures rendered = throughServer(cups, clients == 1 ? "DOS" : "DOSALL", spool, pagesPerJob,
                                                       clients, count);
                shares.push_back(rendered.jobsPerSecond() / forwarded.jobsPerSecond());
                ceiling += forwarded;
                server += rendered;
            }
            report("forwarding (ceiling)", clients, pagesPerJob, ceiling);
            report("through the server", clients, pagesPerJob, server);
            reportShare(clients, pagesPerJob, shares);
            Figures render = direct(work.path(), spool, pagesPerJob, clients, count);
            report("quillon-render -o pdf", clients, pagesPerJob, render);
            wrong = wrong || ceiling.wrongPages || ceiling.lost || server.wrongPages || server.lost
                 || render.wrongPages || render.lost;
        }
    }
    return !wrong;
}

} // namespace

int main(int argc, char** argv)
{
    int small = 80, large = 16, queues = 4, rounds = 3;
    parseBenchOptions("quillon-bench-backend", argc, argv,
                      {{"--small", "N", &small, 1, 100000, "1-page jobs per run"},
                       {"--large", "N", &large, 1, 100000, "100-page jobs per run"},
                       {"--queues", "N", &queues, 1, 100000, "quillon queues in the class that the 8 clients print to"},
                       {"--rounds", "N", &rounds, 1, 100, "turns of forwarding and rendering per figure"}});
    if (::geteuid() != 0) {
        fail("needs root for its private CUPS scheduler");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    CupsScheduler cups;
    if (!makeQueues(cups, queues))
        return 1;
    WorkFolder work("");
    fs::permissions(work.path(), fs::perms(0755));
    return runAll(cups, work, small, large, queues, rounds) ? 0 : 1;
}
