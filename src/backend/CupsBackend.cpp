#include "CupsBackend.h"

#include "AppFactory.h"
#include "CupsQueue.h"
#include "InputKind.h"
#include "JobSession.h"
#include "OutputTarget.h"
#include "PdfPrinter.h"
#include "TargetQueue.h"
#include "posix/DescriptorIo.h"
#include "posix/PrivateCopy.h"
#include "report/ReportProgress.h"
#include "settings/Settings.h"

#include <cups/cups.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace fs = std::filesystem;

namespace {

// Every line of text with the prefix CUPS reads it by.
void say(const char* prefix, const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            std::fprintf(stderr, "%s %s\n", prefix, line.c_str());
    std::fflush(stderr);
}

// The cancel watch. CUPS cancels a job with SIGTERM: the job stops at its next page and cleans up;
// a job stuck in a blocking call is cleaned up by the watch itself a moment later.
std::atomic<bool> g_cancelled{false};
std::mutex g_mutex;
std::condition_variable g_finishedChanged;
bool g_finished = false;
std::string g_tempDir;  // guarded by g_mutex
std::string g_partFile; // guarded by g_mutex: a PDF being written into a folder

constexpr auto kCancelGrace = std::chrono::seconds(3);

void watchForCancel()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    int signal = 0;
    if (sigwait(&set, &signal) != 0)
        return;
    g_cancelled = true;
    std::unique_lock lock(g_mutex);
    if (g_finishedChanged.wait_for(lock, kCancelGrace, [] { return g_finished; }))
        return;
    std::error_code ec;
    if (!g_partFile.empty())
        fs::remove(g_partFile, ec);
    if (!g_tempDir.empty())
        fs::remove_all(g_tempDir, ec);
    say("INFO:", "Job cancelled");
    ::_exit(BackendFailed);
}

void setPartFile(const std::string& path)
{
    std::lock_guard lock(g_mutex);
    g_partFile = path;
}

struct JobCancelled : std::runtime_error {
    JobCancelled() : std::runtime_error("the job was cancelled") {}
};

// The report's once-per-page call: progress for CUPS, and the point where a cancel stops the job.
class BackendProgress final : public SilentProgress {
public:
    void processPendingMessages() override
    {
        if (g_cancelled)
            throw JobCancelled();
        say("INFO:", "Rendering page " + std::to_string(++m_page));
    }

private:
    int m_page = 0;
};

std::string userName()
{
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? pw->pw_name : std::to_string(::geteuid());
}

// what failed and why: error is the errno of the failed call, taken before anything else ran.
std::string errnoText(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

// A copy of the data on fd in a file of its own that has no name: nothing is left behind
// whatever ends the job. -1, with error set, when that fails.


// A name for a job's PDF from its title: letters, digits, dots, dashes and underscores only.
std::string fileNameFor(const BackendJob& job)
{
    std::string stem;
    for (char c : job.title) {
        if (stem.size() >= 48)
            break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '.' || c == '-' || c == '_';
        stem += plain ? c : '_';
    }
    while (!stem.empty() && (stem.back() == '.' || stem.back() == '_'))
        stem.pop_back();
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".pdf") == 0)
        stem.erase(stem.size() - 4);
    return job.id + (stem.empty() ? "" : "-" + stem);
}

} // namespace

bool CupsBackend::start(const std::vector<std::string>& args, const std::string& deviceUri,
                        const std::string& folder)
{
    if (args.empty()) {
        std::printf("%s\n", kBackendDeviceLine);
        std::fflush(stdout);
        m_status = BackendOk;
        return false;
    }
    std::string error;
    auto job = parseBackendJob(args, error);
    if (!job) {
        say("ERROR:", error);
        m_status = BackendFailed;
        return false;
    }
    m_job = *job;
    auto device = parseDeviceUri(deviceUri, error);
    if (!device) {
        say("ERROR:", error);
        m_status = BackendStop;
        return false;
    }
    m_device = *device;

    // Everything the job writes on the side (copies of its data, Qt's runtime files) goes into a
    // folder that no other user can see into.
    m_folder = folder;
    if (m_folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string own = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-" + m_job.id + "-XXXXXX";
        if (!::mkdtemp(own.data())) {
            const int why = errno;
            say("ERROR:", errnoText("cannot make a temporary folder for the job (" + own + ")", why));
            m_status = BackendStop;
            return false;
        }
        m_folder = m_tempDir = own;
        std::lock_guard lock(g_mutex);
        g_tempDir = m_tempDir;
    }
    ::setenv("TMPDIR", m_folder.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    // SIGTERM is taken by the watch only: blocked here, before any other thread starts.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread(watchForCancel).detach();
    return true;
}

CupsBackend::~CupsBackend()
{
    std::lock_guard lock(g_mutex);
    std::error_code ec;
    if (!m_tempDir.empty())
        fs::remove_all(m_tempDir, ec);
    g_tempDir.clear();
    g_finished = true;
    g_finishedChanged.notify_all();
}

int CupsBackend::finish(int status, const std::string& message)
{
    if (g_cancelled) {
        say("INFO:", "Job cancelled");
        return BackendFailed;
    }
    if (!message.empty())
        say(status == BackendOk ? "INFO:" : "ERROR:", message);
    return status;
}

int CupsBackend::run()
{
    std::string error;
    switch (resolveRenderOptions(m_device, m_job.options, m_options, error)) {
    case OptionFault::Device:
        return finish(BackendStop, error);
    case OptionFault::Job:
        return finish(BackendFailed, error);
    case OptionFault::None:
        break;
    }

    int fd = -1;
    if (!m_job.file.empty()) {
        Descriptor file(::open(m_job.file.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (file.get() < 0 || ::fstat(file.get(), &st) != 0) {
            const int why = errno;
            return finish(BackendFailed, errnoText("cannot open the job's file " + m_job.file, why));
        }
        fd = S_ISREG(st.st_mode) ? ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0) : copyToPrivateFile(file.get(), m_folder, error, &g_cancelled);
    } else {
        fd = copyToPrivateFile(STDIN_FILENO, m_folder, error, &g_cancelled);
    }
    if (fd < 0)
        return finish(BackendFailed, error);
    Descriptor input(fd);
    if (::lseek(fd, 0, SEEK_END) == 0)
        return finish(BackendFailed, "the job is empty: the client sent no data");
    const std::string foreign = foreignDocumentKind(fd);
    if (!foreign.empty())
        return finish(BackendFailed, "the job is " + foreign
                          + ", not a DOS printer stream: print it on a queue with a driver for the printer");
    ::lseek(fd, 0, SEEK_SET);
    return m_device.kind == BackendDevice::Kind::Queue ? runToQueue(fd) : runToFolder(fd);
}

int CupsBackend::runToQueue(int input)
{
    const std::string& target = m_device.target;
    const char* self = std::getenv("PRINTER");
    say("STATE:", "+connecting-to-device");
    // The queue is opened once: what the check needs of it comes with what printing needs.
    std::optional<CupsQueue> opened = openCupsQueue(target);
    const TargetVerdict verdict = checkTargetQueue(target, self ? self : "", opened ? &opened->options : nullptr);
    say("STATE:", "-connecting-to-device");
    if (verdict.kind != TargetVerdict::Kind::Ready)
        return finish(verdict.kind == TargetVerdict::Kind::Stop ? BackendStop : BackendRetry, verdict.reason);

    m_options.print = true;
    m_options.printerName = target;
    BackendProgress progress;
    PrintJob job(m_options, progress, m_folder);
    CupsPrinter& cups = *job.queue();
    if (opened)
        cups.useOpenedQueue(std::move(*opened));
    cups.setJobOwner(m_job.user, m_job.title, m_job.copies);
    cups.setCreateJobEarly(true);
    cups.setDocumentInMemory(true);
    JobSession& session = job.session();
    say("INFO:", "Rendering the job for " + target);
    const bool ok = session.runSpoolJob(input, m_job.title);
    if (!ok && cups.lastRefusal() != 0) {
        const int status = cups.lastRefusal() == IPP_STATUS_ERROR_NOT_FOUND ? BackendStop : BackendRetry;
        return finish(status, "the queue " + target + " refused the job: " + cups.lastError());
    }
    if (!ok)
        return finish(BackendFailed, session.failureText());
    const int pages = cups.pageCount();
    if (pages == 0)
        return finish(BackendFailed, "the job gave no pages");
    for (int page = 1; page <= pages; ++page)
        say("PAGE:", std::to_string(page) + " " + std::to_string(m_job.copies));
    std::string ids;
    for (int id : cups.jobs())
        ids += (ids.empty() ? "" : ", ") + target + "-" + std::to_string(id);
    return finish(BackendOk, "Printed " + std::to_string(pages) + " pages on " + target + " (" + ids + ")");
}

int CupsBackend::runToFolder(int input)
{
    const std::string& folder = m_device.target;
    std::string part = folder + "/.quillon-" + m_job.id + "-XXXXXX";
    const int created = ::mkostemp(part.data(), O_CLOEXEC);
    if (created < 0) {
        const int why = errno; // looking up the user's name sets errno
        return finish(BackendStop, errnoText("cannot write into " + folder + " (the backend runs as user "
                                             + userName() + ")", why));
    }
    ::close(created);
    setPartFile(part);
    struct RemovePart {
        std::string& path;
        ~RemovePart()
        {
            if (!path.empty())
                ::unlink(path.c_str());
            setPartFile({});
        }
    } removePart{part};

    // The PDF is for the people of the office, not only for the backend's user: its permissions
    // are the URI's, whatever umask CUPS gave the backend.
    BackendProgress progress;
    PrintJob job(m_options, progress, m_folder, part);
    job.pdfFile()->setFileMode(m_device.fileMode);
    JobSession& session = job.session();
    say("INFO:", "Rendering the job into " + folder);
    const bool ok = session.runSpoolJob(input, m_job.title);
    const int pages = job.pdfFile()->pageCount();
    const JobResult result = finishPrinting(session, OutputKind::PdfFile, ok);
    if (!result.ok())
        return finish(BackendFailed, result.message);
    if (pages == 0)
        return finish(BackendFailed, "the job gave no pages");

    // The finished file appears under its own name at once, never half written; a name taken
    // already gets a number.
    const std::string stem = folder + "/" + fileNameFor(m_job);
    std::string name = stem + ".pdf";
    for (int n = 2; ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) != 0; ++n) {
        const int why = errno;
        if (why != EEXIST || n > 999)
            return finish(BackendFailed, errnoText("cannot name the PDF " + name, why));
        name = stem + "-" + std::to_string(n) + ".pdf";
    }
    part.clear();
    for (int page = 1; page <= pages; ++page)
        say("PAGE:", std::to_string(page) + " 1");
    return finish(BackendOk, "Wrote " + std::to_string(pages) + " pages to " + name);
}

} // namespace quillon
