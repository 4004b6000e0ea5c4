#pragma once

// A private CUPS scheduler for the platform tests. The constructor builds a throw-away CUPS
// installation in a fresh folder under /tmp, starts `cupsd -f` on a Unix socket inside it (no TCP
// port, no browsing, no DNS-SD) and points this process at it through CUPS_SERVER, so libcups, the
// cups command-line tools and Qt's print support all talk to it instead of the system scheduler.
// Queues print through our `capture` backend, which stores every job as a file that the test can
// read back with waitForJobs(). The destructor stops cupsd, restores the environment and removes
// the folder. The system's /etc/cups and /var/spool/cups are never written.
//
// cupsd must run as root (it runs the capture backend as root); ok() is false otherwise.
//
//     CupsScheduler cups;
//     ASSERT_TRUE(cups.ok()) << cups.error();
//     ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();
//     ... print to "capture" ...
//     auto jobs = cups.waitForJobs("capture", 1, 15000);

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillon::test {

class CupsScheduler
{
public:
    struct Job
    {
        int id = 0;
        std::string documentPath; // the document bytes exactly as the backend received them
        std::string title;
        std::string user;
        int copies = 0;
        std::string options; // the backend's options argument: "name=value name=value ..."
    };

    // Result of running a command-line tool.
    struct ToolResult
    {
        int exitCode = -1; // -1 when the tool could not be started or was killed
        std::string output; // standard output and standard error, interleaved
    };

    CupsScheduler();
    ~CupsScheduler();
    CupsScheduler(const CupsScheduler&) = delete;
    CupsScheduler& operator=(const CupsScheduler&) = delete;

    // True once cupsd accepts connections on its socket. When false, error() says why, including
    // the end of cupsd's logs when it got that far.
    bool ok() const { return m_running; }
    const std::string& error() const { return m_error; }

    const std::string& dir() const { return m_dir; }
    const std::string& socketPath() const { return m_socket; }
    pid_t pid() const { return m_pid; } // cupsd's process id, -1 once stopped
    std::string captureDir(const std::string& queue) const;

    // A raw queue (no driver) printing through the capture backend into captureDir(queue),
    // enabled and accepting jobs; optionally made the server's default destination.
    bool addQueue(const std::string& name, bool makeDefault);
    // A backend of our own in ServerBin: program copied in as backend/scheme with mode 0755, so
    // cupsd runs it as its unprivileged user (lp), as an installed backend runs.
    bool installBackend(const std::string& program, const std::string& scheme);
    // A raw queue on any device URI, enabled and accepting jobs.
    bool addDeviceQueue(const std::string& name, const std::string& deviceUri);
    bool rejectJobs(const std::string& name); // cupsreject
    bool disable(const std::string& name); // cupsdisable

    // Waits until captureDir(queue) holds `count` complete jobs or `timeoutMs` has passed, and
    // returns the jobs found, sorted by job id (fewer than `count` on timeout).
    std::vector<Job> waitForJobs(const std::string& queue, size_t count, int timeoutMs) const;

    // Waits until the queue has no job left to print (`lpstat -o` lists none) or `timeoutMs`
    // has passed; true when it has none.
    bool waitUntilDone(const std::string& queue, int timeoutMs) const;

    // Stops cupsd (SIGTERM, SIGKILL after a few seconds). The destructor calls it too.
    void stop();

    std::chrono::milliseconds startupTime() const { return m_startupTime; }
    std::chrono::milliseconds shutdownTime() const { return m_shutdownTime; }

    // The last lines of cupsd's error log and standard output/error, for failure messages.
    std::string logTail(size_t maxLines = 30) const;

    // Runs a program (searched in PATH) with this process's environment, so CUPS tools reach the
    // private scheduler. Gives up and kills it after `timeoutMs`.
    static ToolResult run(const std::vector<std::string>& argv, int timeoutMs = 15000);

private:
    bool setUp();
    bool writeConfiguration();
    bool startDaemon();
    bool runAdmin(const std::vector<std::string>& argv);
    void pointClientsAt(const std::string& server);
    void restoreEnvironment();
    void fail(const std::string& message);

    std::string m_dir;
    std::string m_socket;
    std::string m_error;
    pid_t m_pid = -1;
    bool m_running = false;
    std::chrono::milliseconds m_startupTime{0};
    std::chrono::milliseconds m_shutdownTime{0};

    // Environment variables this fixture changes, with their values before it did.
    struct SavedVariable
    {
        std::string name;
        bool wasSet = false;
        std::string value;
    };
    std::vector<SavedVariable> m_savedEnvironment;
    bool m_environmentChanged = false;
};

} // namespace quillon::test
