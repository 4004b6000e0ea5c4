// The quillon backend with its resident renderer: the first job of a user starts the renderer and
// is rendered by the backend itself; the jobs after it are handed over, and come out the same. A
// cancel reaches the job, a backend that dies takes its job with it, a renderer that takes
// nothing or a folder that is not the user's own costs no job.

#include "BackendProcess.h"
#include "PdfTools.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillon::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kOk = 0;
constexpr char kHandedOver[] = "DEBUG: rendered by the resident renderer";

template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The processes serving folder as its resident renderer (a process that ends while it is looked
// at is not counted).
int renderersOf(const std::string& folder)
{
    int n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const int fd = ::open((entry.path() / "cmdline").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        const std::string line(buffer, size_t(std::max<ssize_t>(got, 0)));
        n += line.find(std::string("--serve") + '\0' + folder) != std::string::npos;
    }
    return n;
}

class ResidentRenderer : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(pdfDir()); }
    void TearDown() override
    {
        // Its folder gone, the renderer goes too.
        fs::remove_all(folder());
        EXPECT_TRUE(waitFor([&] { return renderersOf(folder()) == 0; }, 5s)) << "a renderer outlived its folder";
    }

    std::string pdfDir() const { return dir.file("pdf"); }
    std::string pdfUri() const { return "quillon:/pdf" + pdfDir(); }
    std::string folder() const { return tmp.file("quillon-renderer-" + std::to_string(::geteuid())); }

    BackendRun job(const std::string& id, const std::string& input = "Strona 1\fStrona 2\f")
    {
        return runBackend({QString::fromStdString(id), "jan", "t", "1", ""}, pdfUri(), tmp.path(), input);
    }

    // The first job starts the renderer; it listens once it has loaded what a job needs.
    void startRenderer()
    {
        ASSERT_EQ(job("1").exitCode, kOk);
        ASSERT_TRUE(waitFor([&] { return fs::exists(folder() + "/socket"); }, 20s)) << "no renderer started";
        fs::remove_all(pdfDir());
        fs::create_directory(pdfDir());
    }

    TempDir dir;
    TempDir tmp; // the backends' TMPDIR
};

} // namespace

TEST_F(ResidentRenderer, TheJobsAfterTheFirstAreHandedOverAndComeOutTheSame)
{
    const BackendRun first = job("1");
    ASSERT_EQ(first.exitCode, kOk) << first.err;
    EXPECT_EQ(first.err.find(kHandedOver), std::string::npos) << "the first job is the backend's own";
    ASSERT_TRUE(waitFor([&] { return fs::exists(folder() + "/socket"); }, 20s)) << "no renderer started";
    EXPECT_EQ(fs::status(folder()).permissions() & fs::perms::all, fs::perms::owner_all);
    const size_t own = entries(folder());

    for (const char* id : {"2", "3"}) {
        const BackendRun r = job(id);
        ASSERT_EQ(r.exitCode, kOk) << r.err;
        EXPECT_NE(r.err.find(kHandedOver), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("PAGE: 2 1"), std::string::npos) << r.err;
        const std::string pdf = pdfDir() + "/" + id + "-t.pdf";
        ASSERT_EQ(pdfPages(pdf).size(), 2u);
        for (int page : {1, 2})
            EXPECT_EQ(pdfText(pdf, page), pdfText(pdfDir() + "/1-t.pdf", page));
    }
    // A job file named relative to the backend's working folder is the same file for the renderer.
    writeFile(dir.file("relative.prn"), std::vector<uint8_t>{'R', 'e', 'l', '\f'});
    QProcess relative;
    relative.setProcessEnvironment(backendEnvironment(pdfUri(), tmp.path()));
    relative.setWorkingDirectory(QString::fromStdString(dir.path()));
    relative.start(QString(QUILLON_BACKEND), {"5", "jan", "t", "1", "", "relative.prn"});
    ASSERT_TRUE(relative.waitForStarted());
    const BackendRun r = collectRun(relative, 60000);
    EXPECT_EQ(r.exitCode, kOk) << r.err;
    EXPECT_NE(r.err.find(kHandedOver), std::string::npos) << r.err;
    EXPECT_EQ(pdfPages(pdfDir() + "/5-t.pdf").size(), 1u) << r.err;

    const BackendRun bad = job("4", "");
    EXPECT_EQ(bad.exitCode, 1) << "a failure's exit code comes through";
    EXPECT_NE(bad.err.find("ERROR: the job is empty"), std::string::npos) << bad.err;
    EXPECT_EQ(entries(tmp.path()), 0u) << "the jobs leave nothing beside the renderer's folder";
    EXPECT_EQ(entries(folder()), own) << "nor in it";
    // The renderer, and the spare process forked ahead of the next job.
    EXPECT_TRUE(waitFor([&] { return renderersOf(folder()) == 2; }, 5s)) << "one renderer serves them all";
}

TEST_F(ResidentRenderer, ACancelReachesTheHandedOverJob)
{
    startRenderer();
    std::string err;
    const auto p = startLongJob(pdfUri(), tmp.path(), err);
    ASSERT_TRUE(p) << err;
    EXPECT_NE(err.find(kHandedOver), std::string::npos) << err;
    ::kill(pid_t(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(10000));
    err += p->readAllStandardError().toStdString();
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_NE(err.find("INFO: Job cancelled"), std::string::npos) << err;
    EXPECT_EQ(entries(pdfDir()), 0u);
}

TEST_F(ResidentRenderer, ABackendKilledOutrightTakesItsJobWithIt)
{
    startRenderer();
    std::string err;
    const auto p = startLongJob(pdfUri(), tmp.path(), err);
    ASSERT_TRUE(p) << err;
    ASSERT_GE(entries(pdfDir()), 1u) << "the PDF on its way";
    p->kill();
    p->waitForFinished();
    EXPECT_TRUE(waitFor([&] { return entries(pdfDir()) == 0; }, 10s)) << "the job went on without its backend";
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(entries(pdfDir()), 0u);
}

// Something listens on the renderer's socket and hangs up on every backend: the backends render
// their jobs themselves.
TEST_F(ResidentRenderer, ARendererThatTakesNothingCostsNoJob)
{
    fs::create_directory(folder());
    fs::permissions(folder(), fs::perms::owner_all);
    const int lock = ::open((folder() + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, (folder() + "/socket").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    std::atomic<int> refused{0};
    std::thread hangUp([&] {
        for (int n = 0; n < 2; ++n) {
            const int c = ::accept(listener, nullptr, nullptr);
            ::close(c);
            ++refused;
        }
    });
    for (const char* id : {"1", "2"}) {
        const BackendRun r = job(id);
        EXPECT_EQ(r.exitCode, kOk) << r.err;
        EXPECT_EQ(pdfPages(pdfDir() + "/" + id + "-t.pdf").size(), 2u) << r.err;
    }
    hangUp.join();
    EXPECT_EQ(refused, 2);
    ::close(listener);
    ::close(lock);
}

TEST_F(ResidentRenderer, AFolderThatIsNotTheUsersOwnIsNeverUsed)
{
    TempDir elsewhere;
    int id = 10;
    for (const char* how : {"open to others", "a symbolic link"}) {
        SCOPED_TRACE(how);
        fs::remove_all(folder());
        if (std::string(how) == "open to others") {
            fs::create_directory(folder());
            fs::permissions(folder(), fs::perms(0755));
        } else {
            fs::permissions(elsewhere.path(), fs::perms::owner_all);
            fs::create_directory_symlink(elsewhere.path(), folder());
        }
        for (int n = 0; n < 2; ++n) {
            const BackendRun r = job(std::to_string(++id));
            EXPECT_EQ(r.exitCode, kOk) << r.err;
            EXPECT_EQ(r.err.find(kHandedOver), std::string::npos) << r.err;
        }
        std::this_thread::sleep_for(300ms);
        EXPECT_FALSE(fs::exists(folder() + "/socket"));
        EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    }
}

// A broken installation: the queue stops with the reason, and CUPS keeps the job.
TEST_F(ResidentRenderer, AMissingRendererStopsTheQueueAndKeepsTheJob)
{
    QProcess p;
    QProcessEnvironment e = backendEnvironment(pdfUri(), tmp.path());
    e.insert("QUILLON_BACKEND_WORKER", QString::fromStdString(dir.file("no-such-worker")));
    p.setProcessEnvironment(e);
    p.start(QString(QUILLON_BACKEND), {"1", "jan", "t", "1", ""});
    ASSERT_TRUE(p.waitForStarted());
    p.write("Strona 1\f");
    p.closeWriteChannel();
    const BackendRun r = collectRun(p, 20000);
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("ERROR: cannot start the renderer " + dir.file("no-such-worker") + ": No such file"),
              std::string::npos) << r.err;
    EXPECT_EQ(entries(pdfDir()), 0u);
}
