// A print server for DOS machines: a CUPS queue on the quillon backend in front of a printer's
// queue (here a capture queue), in a real scheduler that runs the backend as its own
// unprivileged user.

#include "CupsTest.h"
#include "PdfTools.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include <pwd.h>
#include <unistd.h>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

// "Zażółć gęślą jaźń" in CP852.
const std::string kPolishCp852 = "Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4";
const std::string kPolishUtf8 = "Zażółć gęślą jaźń";

class CupsBackend : public CupsTest {
protected:
    CupsBackend() : CupsTest({{"paper", false}}) {}
    void SetUp() override
    {
        CupsTest::SetUp();
        if (!ready())
            return;
        ASSERT_TRUE(cups.installBackend(QUILLON_BACKEND, "quillon")) << cups.error();
        ASSERT_TRUE(cups.addDeviceQueue("DOS", "quillon:/paper")) << cups.error();
    }

    // lp's job id (DOS-7 gives 7); 0 when lp refused.
    static int submit(const std::vector<std::string>& lpArgs)
    {
        std::vector<std::string> argv{"lp"};
        argv.insert(argv.end(), lpArgs.begin(), lpArgs.end());
        const CupsScheduler::ToolResult r = CupsScheduler::run(argv);
        std::smatch m;
        if (r.exitCode != 0 || !std::regex_search(r.output, m, std::regex("request id is \\S+-(\\d+)")))
            return 0;
        return std::stoi(m[1]);
    }

    static std::string tool(const std::vector<std::string>& argv)
    {
        return CupsScheduler::run(argv).output;
    }

    // Waits until `lpstat` shows what `done` looks for, or the time is up; the last output.
    static std::string waitForLpstat(const std::vector<std::string>& args, const std::string& wanted,
                                     int timeoutMs)
    {
        std::vector<std::string> argv{"lpstat"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string out;
        do {
            out = tool(argv);
            if (out.find(wanted) != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return out;
    }
};

std::string pagesOf(const std::string& firstLine, int pages)
{
    std::string s;
    for (int page = 1; page <= pages; ++page)
        s += firstLine + " strona " + std::to_string(page) + "\r\n\f";
    return s;
}

} // namespace

TEST_F(CupsBackend, ADosJobArrivesAsAPdfWithItsPagesOrientationPolishTextTitleAndUser)
{
    const std::string path = spool("faktura.prn", "\x1bX0" + kPolishCp852 + "\r\n" + pagesOf("Faktura", 3));
    ASSERT_GT(submit({"-d", "DOS", "-U", "kowalski", "-t", "Faktura 12/2024", path}), 0);
    auto jobs = cups.waitForJobs("paper", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_EQ(jobs[0].title, "Faktura 12/2024");
    EXPECT_EQ(jobs[0].user, "kowalski");
    auto pages = pdfPages(jobs[0].documentPath);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[0].landscape() && pages[2].landscape());
    const std::string text = pdfText(jobs[0].documentPath);
    EXPECT_NE(text.find(kPolishUtf8), std::string::npos) << text;
    EXPECT_NE(text.find("Faktura strona 3"), std::string::npos) << text;
    // The DOS job is done, and counted three pages.
    const std::string done = waitForLpstat({"-W", "completed", "-o", "DOS"}, "DOS-", 10000);
    EXPECT_NE(done.find("DOS-"), std::string::npos) << done;
    EXPECT_NE(tool({"cat", cups.dir() + "/log/page_log"}).find("DOS"), std::string::npos);
}

TEST_F(CupsBackend, OrientationAndEmulationComeFromTheJobMarkerThenTheQueueThenTheJobsOptions)
{
    ASSERT_TRUE(cups.addDeviceQueue("DOSL", "quillon:/paper?orientation=L&font-size=10&emulation=lq")) << cups.error();
    // ESC + D: the simple printer prints "+D", a 9-pin one "D", a 24-pin one nothing.
    const std::string plain = spool("plain.prn", "bez znacznika\x1b+Dkoniec\r\n");
    const std::string portrait = spool("portrait.prn", "\x1bX1z znacznikiem\r\n");
    ASSERT_GT(submit({"-d", "DOSL", "-t", "queue", "-o", "orientation=P", "-o", "emulation=fx", plain}), 0); // the queue's wins
    ASSERT_GT(submit({"-d", "DOSL", "-t", "marker", portrait}), 0);                   // the marker wins
    ASSERT_GT(submit({"-d", "DOS", "-t", "job", "-o", "orientation=L", "-o", "emulation=fx", plain}), 0); // the job's own
    ASSERT_GT(submit({"-d", "DOS", "-t", "default", plain}), 0);                      // the program's default
    auto jobs = cups.waitForJobs("paper", 4, 40000);
    ASSERT_EQ(jobs.size(), 4u) << cups.logTail();
    std::map<std::string, std::string> got;
    for (const auto& job : jobs) {
        auto pages = pdfPages(job.documentPath);
        ASSERT_EQ(pages.size(), 1u) << job.title;
        const std::string text = pdfText(job.documentPath);
        const char* emulation = text.find("znacznika+Dkoniec") != std::string::npos ? "simple"
            : text.find("znacznikaDkoniec") != std::string::npos                  ? "fx"
            : text.find("znacznikakoniec") != std::string::npos                   ? "lq"
                                                                                   : "";
        got[job.title] = std::string(pages[0].landscape() ? "L " : "P ") + (job.title == "marker" ? "-" : emulation);
    }
    const std::map<std::string, std::string> expected{
        {"queue", "L lq"}, {"marker", "P -"}, {"job", "L fx"}, {"default", "P simple"}};
    EXPECT_EQ(got, expected);
}

TEST_F(CupsBackend, ARefusingTargetQueueHoldsTheJobWithItsReasonUntilItAcceptsAgain)
{
    ASSERT_TRUE(cups.rejectJobs("paper")) << cups.error();
    const int id = submit({"-d", "DOS", spool("a.prn", "czeka\r\n")});
    ASSERT_GT(id, 0);
    const std::string jobName = "DOS-" + std::to_string(id);
    const std::string held = waitForLpstat({"-l", "-o", "DOS"}, "not accepting jobs", 20000);
    EXPECT_NE(held.find(jobName), std::string::npos) << held;
    // The backend's message shows while it still runs: the job waits once the queue is idle again.
    const std::string idle = waitForLpstat({"-p", "DOS"}, "is idle", 20000);
    ASSERT_NE(idle.find("is idle"), std::string::npos) << idle;
    EXPECT_NE(held.find("the queue paper is not accepting jobs"), std::string::npos) << held;
    EXPECT_EQ(tool({"lpstat", "-W", "completed", "-o", "DOS"}).find(jobName), std::string::npos)
        << "a refused job is not done";
    EXPECT_TRUE(cups.waitForJobs("paper", 1, 300).empty());

    // Accepting again and releasing the held job prints it, once.
    ASSERT_EQ(CupsScheduler::run({"cupsaccept", "paper"}).exitCode, 0);
    ASSERT_EQ(CupsScheduler::run({"lp", "-i", jobName, "-H", "resume"}).exitCode, 0);
    auto jobs = cups.waitForJobs("paper", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("czeka"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(cups.waitForJobs("paper", 2, 0).size(), 1u);
}

TEST_F(CupsBackend, ATargetThatRefusesTheJobsUserHoldsTheJobWithCupsOwnReason)
{
    // The target accepts jobs, but not this user's: its refusal comes when the PDF is handed over.
    ASSERT_EQ(CupsScheduler::run({"lpadmin", "-p", "paper", "-u", "deny:nowak"}).exitCode, 0);
    const int id = submit({"-d", "DOS", "-U", "nowak", spool("a.prn", "odmowa\r\n")});
    ASSERT_GT(id, 0);
    const std::string held = waitForLpstat({"-l", "-o", "DOS"}, "refused the job", 20000);
    EXPECT_NE(held.find("DOS-" + std::to_string(id)), std::string::npos) << held;
    EXPECT_NE(held.find("the queue paper refused the job: "), std::string::npos) << held;
    EXPECT_TRUE(cups.waitForJobs("paper", 1, 300).empty());
    EXPECT_EQ(tool({"lpstat", "-W", "completed", "-o", "DOS"}).find("DOS-" + std::to_string(id)), std::string::npos);
}

TEST_F(CupsBackend, AMissingTargetStopsTheQueueAndKeepsTheJob)
{
    ASSERT_TRUE(cups.addDeviceQueue("LOST", "quillon:/nosuchqueue")) << cups.error();
    const int id = submit({"-d", "LOST", spool("a.prn", "gdzie\r\n")});
    ASSERT_GT(id, 0);
    // The backend's message shows while it still runs; the queue stops when it has ended.
    const std::string printer = waitForLpstat({"-p", "LOST"}, "disabled", 20000);
    EXPECT_NE(printer.find("disabled"), std::string::npos) << printer;
    EXPECT_NE(printer.find("there is no queue nosuchqueue on this print server"), std::string::npos) << printer;
    EXPECT_NE(tool({"lpstat", "-o", "LOST"}).find("LOST-" + std::to_string(id)), std::string::npos)
        << "the job waits in the stopped queue";
}

TEST_F(CupsBackend, EmptyAndForeignJobsEndInAJobErrorAndTheQueueGoesOn)
{
    const int empty = submit({"-d", "DOS", spool("empty.prn", "")});
    const int pdf = submit({"-d", "DOS", spool("doc.pdf", "%PDF-1.7\n%\xb5\xb5\n1 0 obj\n<<>>\nendobj\n")});
    const int good = submit({"-d", "DOS", spool("good.prn", "dobry\r\n")});
    ASSERT_GT(good, 0);
    auto jobs = cups.waitForJobs("paper", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("dobry"), std::string::npos);
    const std::string log = tool({"cat", cups.dir() + "/log/error_log"});
    if (empty > 0) { // lp may refuse an empty file itself
        EXPECT_NE(log.find("[Job " + std::to_string(empty) + "] the job is empty"), std::string::npos) << log;
    }
    ASSERT_GT(pdf, 0);
    EXPECT_NE(log.find("[Job " + std::to_string(pdf) + "] the job is a PDF document"), std::string::npos) << log;
    const std::string all = tool({"lpstat", "-W", "all", "-l", "-o", "DOS"});
    EXPECT_EQ(cups.waitForJobs("paper", 2, 300).size(), 1u);
    EXPECT_NE(tool({"lpstat", "-p", "DOS"}).find("enabled"), std::string::npos);
}

TEST_F(CupsBackend, TwoHundredJobsFromEightClientsArriveOnceEachWithTheirPages)
{
    // The DOS machines print to a class of four quillon queues, which CUPS runs side by side.
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "DOS" + std::to_string(i);
        ASSERT_TRUE(cups.addDeviceQueue(name, "quillon:/paper")) << cups.error();
        ASSERT_EQ(CupsScheduler::run({"lpadmin", "-p", name, "-c", "DOSY"}).exitCode, 0);
    }
    ASSERT_EQ(CupsScheduler::run({"cupsenable", "DOSY"}).exitCode, 0);
    ASSERT_EQ(CupsScheduler::run({"cupsaccept", "DOSY"}).exitCode, 0);

    constexpr int kJobs = 200, kClients = 8;
    std::vector<std::string> files;
    for (int n = 0; n < kJobs; ++n)
        files.push_back(spool("job" + std::to_string(n) + ".prn", pagesOf("ZADANIE-" + std::to_string(n) + " ", 1 + n % 3)));
    std::atomic<int> next{0}, refused{0};
    std::vector<std::thread> clients;
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&] {
            for (int n = next++; n < kJobs; n = next++)
                if (submit({"-d", "DOSY", "-t", "zadanie " + std::to_string(n), files[size_t(n)]}) == 0)
                    ++refused;
        });
    for (auto& t : clients)
        t.join();
    ASSERT_EQ(refused, 0);
    auto jobs = cups.waitForJobs("paper", kJobs, 90000);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ info ] %d jobs through the server in %.1f s\n", kJobs, seconds);
    ASSERT_EQ(jobs.size(), size_t(kJobs)) << cups.logTail();
    std::map<int, int> seen;
    for (const auto& job : jobs) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(job.title, m, std::regex("zadanie (\\d+)"))) << job.title;
        const int n = std::stoi(m[1]);
        ++seen[n];
        EXPECT_EQ(pdfPages(job.documentPath).size(), size_t(1 + n % 3)) << job.title;
        EXPECT_NE(pdfText(job.documentPath, 1).find("ZADANIE-" + std::to_string(n) + " "), std::string::npos)
            << job.title;
    }
    EXPECT_EQ(seen.size(), size_t(kJobs));
    for (const auto& [n, count] : seen)
        EXPECT_EQ(count, 1) << "job " << n;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(cups.waitForJobs("paper", kJobs + 1, 0).size(), size_t(kJobs));
}

TEST_F(CupsBackend, WritesPdfFilesIntoAFolderAsCupsOwnUserReadableByOthersOrWithTheUrisMode)
{
    const std::string folder = dir.file("pdf");
    fs::create_directory(folder);
    const passwd* lp = ::getpwnam("lp");
    ASSERT_NE(lp, nullptr);
    ASSERT_EQ(::chown(folder.c_str(), lp->pw_uid, lp->pw_gid), 0);
    fs::permissions(dir.path(), fs::perms(0755));
    ASSERT_TRUE(cups.addDeviceQueue("DOSPDF", "quillon:/pdf" + folder)) << cups.error();
    ASSERT_TRUE(cups.addDeviceQueue("DOSPDF2", "quillon:/pdf" + folder + "?mode=0640")) << cups.error();
    const int id = submit({"-d", "DOSPDF", "-t", "Lista płac", spool("p.prn", pagesOf(kPolishCp852, 2))});
    ASSERT_GT(id, 0);
    const int id2 = submit({"-d", "DOSPDF2", "-t", "grupa", spool("g.prn", "dla grupy\r\n")});
    ASSERT_GT(id2, 0);
    const std::string pdf = folder + "/" + std::to_string(id) + "-Lista_p__ac.pdf";
    const std::string pdf2 = folder + "/" + std::to_string(id2) + "-grupa.pdf";
    for (int i = 0; i < 300 && !fs::exists(pdf); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(fs::exists(pdf)) << cups.logTail() << tool({"ls", "-la", folder});
    EXPECT_EQ(pdfPages(pdf).size(), 2u);
    EXPECT_NE(pdfText(pdf).find(kPolishUtf8), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(pdf.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, lp->pw_uid) << "the backend does not run as root";
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "the office reads the PDFs, whatever umask CUPS gives the backend";
    for (int i = 0; i < 300 && !fs::exists(pdf2); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(::stat(pdf2.c_str(), &st), 0) << cups.logTail();
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the URI's mode";
}

TEST_F(CupsBackend, AFolderTheBackendCannotWriteStopsTheQueueWithTheRealCause)
{
    const std::string folder = dir.file("root-only");
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0755));
    fs::permissions(dir.path(), fs::perms(0755));
    ASSERT_TRUE(cups.addDeviceQueue("DOSPDF", "quillon:/pdf" + folder)) << cups.error();
    ASSERT_GT(submit({"-d", "DOSPDF", spool("p.prn", "nie tutaj\r\n")}), 0);
    const std::string printer = waitForLpstat({"-p", "DOSPDF"}, "disabled", 20000);
    ASSERT_NE(printer.find("disabled"), std::string::npos) << printer;
    EXPECT_NE(printer.find("cannot write into " + folder + " (the backend runs as user lp)"), std::string::npos) << printer;
    EXPECT_TRUE(printer.find("Permission denied") != std::string::npos || printer.find("Brak dostępu") != std::string::npos)
        << printer;
    EXPECT_EQ(printer.find("Success"), std::string::npos) << printer;
}

TEST_F(CupsBackend, AQueueThatWouldPrintOntoItselfStopsWithAReasonAndNoJobGoesRound)
{
    // One queue forwards to itself, one to a class that holds it, one to another DOS queue.
    ASSERT_TRUE(cups.addDeviceQueue("SELF", "quillon:/SELF")) << cups.error();
    ASSERT_TRUE(cups.addDeviceQueue("CHAIN", "quillon:/SELF")) << cups.error();
    ASSERT_TRUE(cups.addDeviceQueue("ROUND", "quillon:/ROUNDALL")) << cups.error();
    ASSERT_EQ(CupsScheduler::run({"lpadmin", "-p", "ROUND", "-c", "ROUNDALL"}).exitCode, 0);
    ASSERT_EQ(CupsScheduler::run({"cupsenable", "ROUNDALL"}).exitCode, 0);
    ASSERT_EQ(CupsScheduler::run({"cupsaccept", "ROUNDALL"}).exitCode, 0);
    ASSERT_GT(submit({"-d", "SELF", spool("a.prn", "petla\r\n")}), 0);
    ASSERT_GT(submit({"-d", "ROUND", spool("b.prn", "petla\r\n")}), 0);
    ASSERT_GT(submit({"-d", "CHAIN", spool("c.prn", "petla\r\n")}), 0);

    const std::string self = waitForLpstat({"-p", "SELF"}, "disabled", 20000);
    EXPECT_NE(self.find("the queue SELF would print onto itself"), std::string::npos) << self;
    const std::string round = waitForLpstat({"-p", "ROUND"}, "disabled", 20000);
    EXPECT_NE(round.find("the class ROUNDALL holds the queue ROUND itself"), std::string::npos) << round;
    const std::string chain = waitForLpstat({"-p", "CHAIN"}, "disabled", 20000);
    EXPECT_NE(chain.find("the queue SELF is a Quillon Print queue itself"), std::string::npos) << chain;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::string all = tool({"lpstat", "-W", "all", "-o"});
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3) << "only the jobs sent: " << all;
}
