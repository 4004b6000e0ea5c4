#include "CupsScheduler.h"

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace quillon::test {

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kSystemServerBin = "/usr/lib/cups";
constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kStopTimeout = std::chrono::seconds(5);

// CUPS tools see the private scheduler through CUPS_SERVER; PRINTER and LPDEST would override the
// default destination it reports, so they are hidden while the scheduler runs.
const char* const kManagedVariables[] = {"CUPS_SERVER", "PRINTER", "LPDEST"};

std::chrono::milliseconds elapsedSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out.flush());
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lastLines(const std::string& text, size_t maxLines)
{
    std::deque<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
        if (lines.size() > maxLines)
            lines.pop_front();
    }
    std::string result;
    for (const std::string& line : lines)
        result += line + '\n';
    return result;
}

std::string describeStatus(int status)
{
    if (WIFEXITED(status))
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("was killed by signal ") + strsignal(WTERMSIG(status));
    return "stopped";
}

bool socketAccepts(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

std::string joinCommand(const std::vector<std::string>& argv)
{
    std::string text;
    for (const std::string& arg : argv) {
        if (!text.empty())
            text += ' ';
        text += arg.find(' ') == std::string::npos ? arg : "'" + arg + "'";
    }
    return text;
}

// Parses "<digits>.pdf"; returns 0 for any other name.
int jobIdFromName(const std::string& name)
{
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".pdf") != 0)
        return 0;
    const std::string digits = name.substr(0, name.size() - 4);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(digits);
}

} // namespace

CupsScheduler::CupsScheduler()
{
    const Clock::time_point start = Clock::now();
    if (!setUp()) {
        stop();
        return;
    }
    m_startupTime = elapsedSince(start);
    m_running = true;
    pointClientsAt(m_socket);
}

CupsScheduler::~CupsScheduler()
{
    stop();
    restoreEnvironment();
    if (!m_dir.empty()) {
        if (std::getenv("QUILLON_KEEP_CUPS_DIR")) {
            std::fprintf(stderr, "CupsScheduler: keeping %s\n", m_dir.c_str());
        } else {
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
        }
    }
}

std::string CupsScheduler::captureDir(const std::string& queue) const
{
    return m_dir + "/capture/" + queue;
}

void CupsScheduler::fail(const std::string& message)
{
    if (!m_error.empty())
        m_error += '\n';
    m_error += message;
}

bool CupsScheduler::setUp()
{
    if (::geteuid() != 0) {
        fail("the private CUPS scheduler needs root: cupsd runs the capture backend as root");
        return false;
    }
    if (::access(kCupsd, X_OK) != 0) {
        fail(std::string(kCupsd) + " is missing (Debian package cups-daemon)");
        return false;
    }
    char pattern[] = "/tmp/quillon-cups-XXXXXX";
    if (!::mkdtemp(pattern)) {
        fail(std::string("mkdtemp failed: ") + std::strerror(errno));
        return false;
    }
    m_dir = pattern;
    m_socket = m_dir + "/cups.sock";
    return writeConfiguration() && startDaemon();
}

bool CupsScheduler::writeConfiguration()
{
    std::error_code ec;
    // cupsd hands work to helpers running as its unprivileged User (lp), who must be able to
    // reach the spool folder inside.
    fs::permissions(m_dir, fs::perms(0755), ec);
    for (const char* sub : {"serverbin/backend", "spool/tmp", "cache", "state", "log", "capture", "ssl"}) {
        if (!fs::create_directories(m_dir + "/" + sub, ec) && ec) {
            fail("cannot create " + m_dir + "/" + sub + ": " + ec.message());
            return false;
        }
    }

    // ServerBin: the system's filters, daemons, CGI programs, notifiers... but our own backends.
    for (const fs::directory_entry& entry : fs::directory_iterator(kSystemServerBin, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "backend")
            continue;
        fs::create_symlink(entry.path(), m_dir + "/serverbin/" + name, ec);
        if (ec) {
            fail("cannot link " + entry.path().string() + ": " + ec.message());
            return false;
        }
    }
    if (ec) {
        fail(std::string("cannot list ") + kSystemServerBin + ": " + ec.message());
        return false;
    }
    // cupsd runs a backend as root when only its owner may execute it (mode 0700), and refuses
    // backends that others may write.
    const std::string backend = m_dir + "/serverbin/backend/capture";
    const std::string backendSource = std::string(QUILLON_TEST_DATA) + "/capture-backend";
    if (!fs::copy_file(backendSource, backend, ec) || ::chmod(backend.c_str(), 0700) != 0) {
        fail("cannot install the capture backend from " + backendSource + ": " + ec.message());
        return false;
    }

    const std::string& d = m_dir;
    const std::string filesConf = "# Files and folders of the private test scheduler: nothing outside " + d + " is written.\n"
        "ServerRoot " + d + "\n"
        "ServerBin " + d + "/serverbin\n"
        "DataDir /usr/share/cups\n"
        "RequestRoot " + d + "/spool\n"
        "TempDir " + d + "/spool/tmp\n"
        "CacheDir " + d + "/cache\n"
        "StateDir " + d + "/state\n"
        "ServerKeychain " + d + "/ssl\n"
        "CreateSelfSignedCerts no\n"
        "ErrorLog " + d + "/log/error_log\n"
        "AccessLog " + d + "/log/access_log\n"
        "PageLog " + d + "/log/page_log\n"
        // cupsd insists on a printcap file; keep it in here instead of /run/cups.
        "Printcap " + d + "/printcap\n"
        "SystemGroup root\n"
        "FileDevice No\n"
        // Stop at once on a broken configuration or socket rather than limping along.
        "FatalErrors config listen log\n"
        // The quillon backend's renderer is the one built beside it, not an installed one.
        "SetEnv QUILLON_BACKEND_WORKER " QUILLON_BACKEND_WORKER "\n";

    const std::string cupsdConf = "# Private test scheduler: Unix socket only, no TCP port, no sharing, no DNS-SD.\n"
        "LogLevel warn\n"
        "MaxLogSize 0\n"
        "Listen " + d + "/cups.sock\n"
        "Browsing No\n"
        "BrowseLocalProtocols none\n"
        "DefaultShared No\n"
        "WebInterface No\n"
        // A failing job is dropped, not retried: the test notices the missing capture.
        "ErrorPolicy abort-job\n"
        "PreserveJobFiles No\n"
        // Socket clients count as localhost; nobody else can reach the socket.
        "<Location />\n"
        "  Order allow,deny\n"
        "  Allow localhost\n"
        "</Location>\n"
        // Every operation without authentication, every job detail visible to every user.
        "<Policy default>\n"
        "  JobPrivateAccess all\n"
        "  JobPrivateValues none\n"
        "  SubscriptionPrivateAccess all\n"
        "  SubscriptionPrivateValues none\n"
        "  <Limit All>\n"
        "    Order deny,allow\n"
        "  </Limit>\n"
        "</Policy>\n";

    // "lp -o raw" types its document application/vnd.cups-raw, which needs these two rules.
    const std::string rawTypes = "application/octet-stream\n";
    const std::string rawConvs = "application/octet-stream application/vnd.cups-raw 0 -\n";

    if (!writeFile(d + "/cups-files.conf", filesConf) || !writeFile(d + "/cupsd.conf", cupsdConf)
        || !writeFile(d + "/raw.types", rawTypes) || !writeFile(d + "/raw.convs", rawConvs)) {
        fail("cannot write the configuration files in " + d);
        return false;
    }
    return true;
}

bool CupsScheduler::startDaemon()
{
    const std::string conf = m_dir + "/cupsd.conf";
    const std::string filesConf = m_dir + "/cups-files.conf";
    const std::string outPath = m_dir + "/log/cupsd.out";
    std::vector<std::string> args = {kCupsd, "-f", "-c", conf, "-s", filesConf};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || devNull < 0) {
        fail("cannot open " + outPath + " or /dev/null");
        if (out >= 0)
            ::close(out);
        if (devNull >= 0)
            ::close(devNull);
        return false;
    }

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on. cupsd dies with this process, even when a
        // test crashes or is killed, so no scheduler outlives the test binary.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(126);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        // Nothing else of ours: a cupsd holding, say, a test runner's output pipe would keep the
        // runner waiting.
        ::close_range(3, ~0U, 0);
        ::execv(kCupsd, argv.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(devNull);
    if (pid < 0) {
        fail(std::string("fork failed: ") + std::strerror(errno));
        return false;
    }
    m_pid = pid;

    const Clock::time_point deadline = Clock::now() + kStartTimeout;
    while (true) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            const ToolResult check = run({kCupsd, "-t", "-c", conf, "-s", filesConf});
            fail("cupsd " + describeStatus(status) + " before opening " + m_socket + "\n" + logTail()
                 + "cupsd -t says:\n" + check.output);
            return false;
        }
        if (socketAccepts(m_socket))
            return true;
        if (Clock::now() >= deadline) {
            fail("cupsd did not accept connections on " + m_socket + " within "
                 + std::to_string(kStartTimeout.count()) + " s\n" + logTail());
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void CupsScheduler::stop()
{
    m_running = false;
    if (m_pid <= 0)
        return;
    const Clock::time_point start = Clock::now();
    ::kill(m_pid, SIGTERM);
    int status = 0;
    bool exited = false;
    while (Clock::now() - start < kStopTimeout) {
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            exited = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!exited) {
        std::fprintf(stderr, "CupsScheduler: cupsd ignored SIGTERM for %lld s, killing it\n",
                     static_cast<long long>(kStopTimeout.count()));
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    m_shutdownTime = elapsedSince(start);
}

void CupsScheduler::pointClientsAt(const std::string& server)
{
    if (!m_environmentChanged) {
        for (const char* name : kManagedVariables) {
            const char* value = std::getenv(name);
            m_savedEnvironment.push_back({name, value != nullptr, value ? value : ""});
        }
        m_environmentChanged = true;
    }
    ::setenv("CUPS_SERVER", server.c_str(), 1);
    ::unsetenv("PRINTER");
    ::unsetenv("LPDEST");
    // libcups remembers the server (and keeps a connection to it) per thread; make this thread
    // forget the old one. Threads that have not used libcups yet read CUPS_SERVER themselves.
    cupsSetServer(nullptr);
    cupsSetServer(server.c_str());
}

void CupsScheduler::restoreEnvironment()
{
    if (!m_environmentChanged)
        return;
    for (const SavedVariable& variable : m_savedEnvironment) {
        if (variable.wasSet)
            ::setenv(variable.name.c_str(), variable.value.c_str(), 1);
        else
            ::unsetenv(variable.name.c_str());
    }
    m_savedEnvironment.clear();
    m_environmentChanged = false;
    // Back to whatever CUPS_SERVER, client.conf or the built-in default say.
    cupsSetServer(nullptr);
}

bool CupsScheduler::runAdmin(const std::vector<std::string>& argv)
{
    if (!m_running) {
        fail(joinCommand(argv) + ": the scheduler is not running");
        return false;
    }
    const ToolResult result = run(argv);
    if (result.exitCode == 0)
        return true;
    fail(joinCommand(argv) + " failed (exit " + std::to_string(result.exitCode) + "): " + result.output);
    return false;
}

bool CupsScheduler::addQueue(const std::string& name, bool makeDefault)
{
    if (!runAdmin({"lpadmin", "-p", name, "-E", "-v", "capture:" + captureDir(name)}))
        return false;
    return !makeDefault || runAdmin({"lpadmin", "-d", name});
}

bool CupsScheduler::installBackend(const std::string& program, const std::string& scheme)
{
    const std::string backend = m_dir + "/serverbin/backend/" + scheme;
    std::error_code ec;
    if (!fs::copy_file(program, backend, fs::copy_options::overwrite_existing, ec)
        || ::chmod(backend.c_str(), 0755) != 0) {
        fail("cannot install the backend " + program + " as " + backend + ": " + ec.message());
        return false;
    }
    return true;
}

bool CupsScheduler::addDeviceQueue(const std::string& name, const std::string& deviceUri)
{
    return runAdmin({"lpadmin", "-p", name, "-E", "-v", deviceUri});
}

bool CupsScheduler::rejectJobs(const std::string& name)
{
    return runAdmin({"cupsreject", name});
}

bool CupsScheduler::disable(const std::string& name)
{
    return runAdmin({"cupsdisable", name});
}

bool CupsScheduler::waitUntilDone(const std::string& queue, int timeoutMs) const
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const ToolResult pending = run({"lpstat", "-o", queue});
        if (pending.exitCode == 0 && pending.output.find(queue + "-") == std::string::npos)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

std::vector<CupsScheduler::Job> CupsScheduler::waitForJobs(const std::string& queue, size_t count,
                                                          int timeoutMs) const
{
    const std::string folder = captureDir(queue);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<int> ids;
    while (true) {
        ids.clear();
        std::error_code ec;
        // The backend renames <id>.pdf into place last, so a listed document is complete.
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
            if (const int id = jobIdFromName(entry.path().filename().string()))
                ids.push_back(id);
        }
        if (ids.size() >= count || Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::sort(ids.begin(), ids.end());

    std::vector<Job> jobs;
    for (const int id : ids) {
        Job job;
        job.id = id;
        job.documentPath = folder + "/" + std::to_string(id) + ".pdf";
        std::istringstream info(readFile(folder + "/" + std::to_string(id) + ".info"));
        for (std::string line; std::getline(info, line);) {
            const size_t equals = line.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string key = line.substr(0, equals);
            const std::string value = line.substr(equals + 1);
            if (key == "title")
                job.title = value;
            else if (key == "user")
                job.user = value;
            else if (key == "copies")
                job.copies = std::atoi(value.c_str());
            else if (key == "options")
                job.options = value;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::string CupsScheduler::logTail(size_t maxLines) const
{
    if (m_dir.empty())
        return {};
    std::string text;
    for (const char* name : {"error_log", "cupsd.out"}) {
        const std::string tail = lastLines(readFile(m_dir + "/log/" + name), maxLines);
        if (!tail.empty())
            text += std::string("--- ") + name + ":\n" + tail;
    }
    return text;
}

CupsScheduler::ToolResult CupsScheduler::run(const std::vector<std::string>& argv, int timeoutMs)
{
    ToolResult result;
    if (argv.empty())
        return result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.output = std::string("pipe failed: ") + std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    std::vector<std::string> args = argv;
    std::vector<char*> cArgs;
    for (std::string& arg : args)
        cArgs.push_back(arg.data());
    cArgs.push_back(nullptr);
    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, cArgs[0], &actions, nullptr, cArgs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawnError != 0) {
        ::close(pipeFds[0]);
        result.output = "cannot start " + argv[0] + ": " + std::strerror(spawnError);
        return result;
    }

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.output.append(buffer, static_cast<size_t>(got));
    }
    ::close(pipeFds[0]);
    if (timedOut) {
        ::kill(pid, SIGKILL);
        result.output += "\n[" + argv[0] + " killed after " + std::to_string(timeoutMs) + " ms]";
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace quillon::test
