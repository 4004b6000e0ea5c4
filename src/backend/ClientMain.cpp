// quillon: the CUPS backend that renders the DOS printer streams of a queue with the engine.
//
// CUPS starts it for every job. It loads nothing of the engine itself: it hands the job (its
// arguments, environment and standard descriptors) to the resident renderer of its user, which
// has the drawing libraries and fonts loaded already, and exits with the job's status. With no
// renderer running it starts one for the jobs to come and renders this job itself, by running
// quillon-backend-worker in its place; so does it whenever the renderer cannot take the job.

#include "BackendStatus.h"
#include "ResidentChannel.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace quillon;

volatile sig_atomic_t g_cancelled = 0;

void noteCancel(int)
{
    g_cancelled = 1;
}

// QUILLON_BACKEND_WORKER when set (a test scheduler's SetEnv); else the installed worker.
std::string workerPath()
{
    const char* set = std::getenv("QUILLON_BACKEND_WORKER");
    if (set && *set == '/')
        return set;
    return ::access(QUILLON_BACKEND_WORKER_PATH, X_OK) == 0 ? QUILLON_BACKEND_WORKER_PATH : QUILLON_PACKAGED_WORKER_PATH;
}

// The renderer for the jobs to come, detached from this job: its own session, no descriptor of
// CUPS's (which waits for them to close), standard streams on /dev/null.
void startRenderer(const std::string& folder)
{
    const std::string worker = workerPath();
    const pid_t child = ::fork();
    if (child < 0)
        return;
    if (child == 0) {
        ::setsid();
        if (::fork() != 0)
            ::_exit(0);
        if (::chdir("/") != 0)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(null, fd);
        ::close_range(3, ~0U, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execl(worker.c_str(), "quillon-backend-worker", "--serve", folder.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Waits for the renderer's answers on socket, passing a cancel on to the job's process. The job's
// exit code; nothing when the renderer took nothing and the job is still to be rendered here.
std::optional<int> awaitJob(int socket)
{
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &term, &previous);
    struct sigaction cancel {};
    cancel.sa_handler = noteCancel;
    ::sigaction(SIGTERM, &cancel, nullptr);

    pid_t job = 0;
    bool passedOn = false;
    for (;;) {
        if (g_cancelled && job > 0 && !passedOn) {
            ::kill(job, SIGTERM);
            passedOn = true;
        }
        // SIGTERM is let in only while waiting, so none slips by unseen.
        pollfd p{socket, POLLIN, 0};
        const bool failed = ::ppoll(&p, 1, nullptr, &previous) < 0;
        if (failed && errno == EINTR)
            continue;
        // A wait that fails for any other reason is a line that is gone.
        const resident::Reply reply = failed ? resident::Reply{} : resident::receiveReply(socket);
        switch (reply.kind) {
        case resident::Reply::Kind::Started:
            job = pid_t(reply.value);
            break;
        case resident::Reply::Kind::Status:
            return int(reply.value);
        case resident::Reply::Kind::Interrupted:
            break;
        case resident::Reply::Kind::Closed:
            if (job == 0) {
                ::sigprocmask(SIG_SETMASK, &previous, nullptr);
                return std::nullopt;
            }
            std::fputs("ERROR: the renderer stopped before the job was done\n", stderr);
            return BackendFailed;
        }
    }
}

std::optional<int> handToRenderer(const std::string& folder, char** argv)
{
    const int socket = resident::connectToRenderer(folder);
    if (socket < 0) {
        if (!resident::rendererHoldsLock(folder))
            startRenderer(folder);
        return std::nullopt;
    }
    std::vector<std::string> args, environment;
    for (char** a = argv; *a; ++a)
        args.emplace_back(*a);
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    std::optional<int> status;
    if (resident::sendRequest(socket, args, environment))
        status = awaitJob(socket);
    ::close(socket);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 1) {
        std::printf("%s\n", kBackendDeviceLine);
        return BackendOk;
    }
    const std::string folder = resident::privateFolder();
    if (!folder.empty())
        if (const std::optional<int> status = handToRenderer(folder, argv))
            return *status;
    const std::string worker = workerPath();
    ::execv(worker.c_str(), argv);
    std::fprintf(stderr, "ERROR: cannot start the renderer %s: %s\n", worker.c_str(), std::strerror(errno));
    return BackendStop;
}
