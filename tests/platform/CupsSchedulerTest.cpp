// The private CUPS scheduler that the printing tests stand on: jobs sent with the CUPS tools,
// libcups and Qt reach it (and only it), are captured intact, and no cupsd outlives a test.

#include "CupsScheduler.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cups/cups.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using quillon::test::CupsScheduler;

namespace {

#define REQUIRE_SCHEDULER(cups)                                                                    \
    do {                                                                                           \
        if (::geteuid() != 0)                                                                      \
            GTEST_SKIP() << "needs root to run a private cupsd";                                   \
        ASSERT_TRUE((cups).ok()) << (cups).error();                                                \
    } while (false)

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A one-page PDF made the way the program makes its own: through Qt.
std::string makePdf(const std::string& path, const QString& text)
{
    QPdfWriter writer(QString::fromStdString(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter painter(&writer);
    painter.drawRect(QRect(100, 100, 1000, 400));
    painter.drawText(QPoint(150, 300), text);
    painter.end();
    return readBytes(path);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "<unset>";
}

// True while `pid` names a process that has not finished (a zombie counts as finished).
bool processAlive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t afterName = line.rfind(')');
    return afterName != std::string::npos && afterName + 2 < line.size() && line[afterName + 2] != 'Z';
}

bool waitUntilGone(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (processAlive(pid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

const char kPolishTitle[] = "Faktura nr 7/2024 — zażółć gęślą jaźń";

} // namespace

TEST(CupsSchedulerTest, lpJobIsCapturedByteForByteWithItsTitleCopiesAndOptions)
{
    CupsScheduler cups;
    REQUIRE_SCHEDULER(cups);
    std::cout << "[ cupsd    ] started in " << cups.startupTime().count() << " ms\n";
    ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();

    const std::string input = cups.dir() + "/input.pdf";
    const std::string pdf = makePdf(input, "Quillon");
    ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);

    const auto first = CupsScheduler::run({"lp", "-t", kPolishTitle, "-n", "2", "-o", "quillon-check=yes", input});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_NE(first.output.find("request id is capture-"), std::string::npos) << first.output;
    // No -d: the queue's being the default is what routes this one.
    const auto second = CupsScheduler::run({"lp", "-t", "second job", input});
    ASSERT_EQ(second.exitCode, 0) << second.output;

    const auto jobs = cups.waitForJobs("capture", 2, 15000);
    ASSERT_EQ(jobs.size(), 2u) << cups.logTail();
    EXPECT_LT(jobs[0].id, jobs[1].id);
    EXPECT_EQ(jobs[0].title, kPolishTitle);
    EXPECT_EQ(jobs[0].user, "root");
    EXPECT_EQ(jobs[0].copies, 2);
    EXPECT_NE(jobs[0].options.find("quillon-check=yes"), std::string::npos) << jobs[0].options;
    EXPECT_EQ(readBytes(jobs[0].documentPath), pdf) << "a raw queue must pass the document through untouched";
    EXPECT_EQ(jobs[1].title, "second job");
    EXPECT_EQ(jobs[1].copies, 1);
    EXPECT_EQ(readBytes(jobs[1].documentPath), pdf);
}

TEST(CupsSchedulerTest, cupsToolsLibcupsAndQtAllSeeOnlyThePrivateQueues)
{
    CupsScheduler cups;
    REQUIRE_SCHEDULER(cups);
    ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();
    ASSERT_TRUE(cups.addQueue("spare", false)) << cups.error();
    EXPECT_EQ(environment("CUPS_SERVER"), cups.socketPath());
    EXPECT_STREQ(cupsServer(), cups.socketPath().c_str());

    const auto lpstat = CupsScheduler::run({"lpstat", "-d"});
    EXPECT_EQ(lpstat.exitCode, 0) << lpstat.output;
    EXPECT_EQ(lpstat.output, "system default destination: capture\n");

    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::vector<std::string> names;
    std::string defaultName;
    for (int i = 0; i < count; ++i) {
        names.push_back(dests[i].name);
        if (dests[i].is_default)
            defaultName = dests[i].name;
    }
    cupsFreeDests(count, dests);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"capture", "spare"}));
    EXPECT_EQ(defaultName, "capture");

    // Qt's CUPS plugin asks libcups afresh on every call, on this thread, so CUPS_SERVER and
    // cupsSetServer() are all it takes.
    EXPECT_EQ(QPrinterInfo::defaultPrinterName(), QStringLiteral("capture"));
    QStringList qtNames = QPrinterInfo::availablePrinterNames();
    qtNames.sort();
    EXPECT_EQ(qtNames, (QStringList{QStringLiteral("capture"), QStringLiteral("spare")}));
}

TEST(CupsSchedulerTest, qPrinterJobArrivesAsPdfWithItsDocumentName)
{
    CupsScheduler cups;
    REQUIRE_SCHEDULER(cups);
    ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();

    const QPrinterInfo info = QPrinterInfo::printerInfo(QStringLiteral("capture"));
    ASSERT_FALSE(info.isNull());
    QPrinter printer(info, QPrinter::HighResolution);
    ASSERT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    printer.setDocName(QString::fromUtf8(kPolishTitle));
    QPainter painter;
    ASSERT_TRUE(painter.begin(&printer));
    painter.drawRect(QRect(200, 200, 2000, 800));
    painter.drawText(QPoint(300, 600), QStringLiteral("Quillon"));
    ASSERT_TRUE(printer.newPage());
    painter.drawEllipse(QRect(200, 200, 800, 800));
    ASSERT_TRUE(painter.end());

    const auto jobs = cups.waitForJobs("capture", 1, 15000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_EQ(jobs[0].title, kPolishTitle);
    const std::string document = readBytes(jobs[0].documentPath);
    EXPECT_EQ(document.rfind("%PDF-", 0), 0u) << "Qt hands CUPS a PDF";
    EXPECT_NE(document.find("/Count 2"), std::string::npos) << "both pages must arrive";
}

TEST(CupsSchedulerTest, rejectingQueueRefusesJobsWithAReason)
{
    CupsScheduler cups;
    REQUIRE_SCHEDULER(cups);
    ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();
    ASSERT_TRUE(cups.rejectJobs("capture")) << cups.error();
    const std::string input = cups.dir() + "/input.pdf";
    makePdf(input, "rejected");

    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, "capture", input.c_str(), "t", 0, nullptr);
    EXPECT_EQ(job, 0);
    const std::string reason = cupsLastErrorString() ? cupsLastErrorString() : "";
    std::cout << "[ cupsd    ] rejecting queue: " << ippErrorString(cupsLastError()) << ": " << reason << '\n';
    EXPECT_EQ(cupsLastError(), IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS);
    EXPECT_NE(reason.find("not accepting jobs"), std::string::npos) << reason;
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 300).empty());
}

TEST(CupsSchedulerTest, disabledQueueHoldsJobsUntilEnabled)
{
    CupsScheduler cups;
    REQUIRE_SCHEDULER(cups);
    ASSERT_TRUE(cups.addQueue("capture", false)) << cups.error();
    ASSERT_TRUE(cups.disable("capture")) << cups.error();
    const std::string input = cups.dir() + "/input.pdf";
    const std::string pdf = makePdf(input, "held");

    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, "capture", input.c_str(), "held", 0, nullptr);
    ASSERT_GT(job, 0) << cupsLastErrorString();
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 1000).empty()) << "a stopped queue must not print";

    const auto enable = CupsScheduler::run({"cupsenable", "capture"});
    ASSERT_EQ(enable.exitCode, 0) << enable.output;
    const auto jobs = cups.waitForJobs("capture", 1, 15000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_EQ(jobs[0].id, job);
    EXPECT_EQ(jobs[0].title, "held");
    EXPECT_EQ(readBytes(jobs[0].documentPath), pdf);
}

TEST(CupsSchedulerTest, teardownStopsCupsdRestoresEnvironmentAndRemovesFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a private cupsd";
    const std::string before = "/nonexistent/quillon-before.sock";
    setenv("CUPS_SERVER", before.c_str(), 1);
    setenv("PRINTER", "somewhere-else", 1);
    cupsSetServer(nullptr);

    pid_t pid = -1;
    std::string dir;
    {
        CupsScheduler cups;
        ASSERT_TRUE(cups.ok()) << cups.error();
        pid = cups.pid();
        dir = cups.dir();
        EXPECT_TRUE(processAlive(pid));
        EXPECT_EQ(environment("PRINTER"), "<unset>") << "PRINTER would override the default queue";
        ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();
        cups.stop();
        std::cout << "[ cupsd    ] started in " << cups.startupTime().count() << " ms, stopped in "
                  << cups.shutdownTime().count() << " ms\n";
        EXPECT_FALSE(cups.ok());
        EXPECT_FALSE(cups.addQueue("late", false)) << "no queue can be added once cupsd is gone";
    }
    EXPECT_FALSE(processAlive(pid));
    EXPECT_FALSE(std::filesystem::exists(dir));
    EXPECT_EQ(environment("CUPS_SERVER"), before);
    EXPECT_EQ(environment("PRINTER"), "somewhere-else");
    EXPECT_STREQ(cupsServer(), before.c_str()) << "libcups must forget the private socket";
    unsetenv("CUPS_SERVER");
    unsetenv("PRINTER");
    cupsSetServer(nullptr);
}

// A test that crashes never runs its destructors; cupsd must still go down with the test process.
TEST(CupsSchedulerDeathTest, cupsdDiesWithACrashedTestProcess)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a private cupsd";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The threadsafe style runs this whole test again in a fresh process; the report path travels
    // in the environment so both processes agree on it.
    const char* const variable = "QUILLON_CUPS_CRASH_REPORT";
    if (!std::getenv(variable))
        setenv(variable, ("/tmp/quillon-cups-crash-" + std::to_string(::getpid())).c_str(), 1);
    const std::string report = std::getenv(variable);
    // Adopt the orphaned cupsd so it can be reaped here instead of lingering as a zombie under
    // an init that may not reap.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);

    EXPECT_EXIT(
        {
            CupsScheduler cups;
            std::ofstream(report) << cups.pid() << ' ' << cups.dir() << '\n';
            std::abort();
        },
        testing::KilledBySignal(SIGABRT), "");
    unsetenv(variable);

    pid_t pid = -1;
    std::string dir;
    std::ifstream(report) >> pid >> dir;
    std::filesystem::remove(report);
    const bool gone = pid > 0 && waitUntilGone(pid, std::chrono::seconds(10));
    if (pid > 0 && !gone)
        ::kill(pid, SIGKILL); // the fault under test; do not leave it running
    if (pid > 0)
        ::waitpid(pid, nullptr, gone ? WNOHANG : 0);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_GT(pid, 0) << "the crashing process did not start cupsd";
    EXPECT_TRUE(gone) << "cupsd " << pid << " outlived its test process";
    if (dir.rfind("/tmp/quillon-cups-", 0) == 0)
        std::filesystem::remove_all(dir);
}
