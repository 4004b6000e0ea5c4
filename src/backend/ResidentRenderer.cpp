#include "ResidentRenderer.h"

#include "ResidentChannel.h"
#include "posix/DescriptorIo.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillon::resident {

namespace {

// A package update replaces the program on disk: a renderer running the old one stops taking
// jobs, and the next backend starts the new one.
bool programReplaced()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    static const char kDeleted[] = " (deleted)";
    const size_t tail = sizeof kDeleted - 1;
    return size_t(n) > tail && std::strcmp(path + n - tail, kDeleted) == 0;
}

bool sameUser(int connection)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// The job's environment in place of the renderer's.
void takeEnvironment(const std::vector<std::string>& environment)
{
    ::clearenv();
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && equals > 0)
            ::setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
    }
}

// A backend that goes away before its job is done was stopped (CUPS cancelled the job and gave
// up waiting): the job is cancelled as if its backend had passed on the SIGTERM.
void cancelWhenBackendLeaves(int connection)
{
    std::thread([connection] {
        pollfd p{connection, POLLIN, 0};
        char byte;
        while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
        if (::recv(connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0 || (p.revents & (POLLHUP | POLLERR)))
            ::kill(::getpid(), SIGTERM);
    }).detach();
}

// In the job's own process: the request, then the job, then its status.
int takeJob(int connection, const Service& service)
{
    auto request = receiveRequest(connection);
    if (!request)
        return 1; // nothing was started: the backend renders the job itself
    for (int target = 0; target < 3; ++target) {
        ::dup2(request->fds[target], target);
        if (request->fds[target] > 2)
            ::close(request->fds[target]);
    }
    const int workingFolder = request->fds[3];
    const bool inPlace = ::fchdir(workingFolder) == 0;
    ::close(workingFolder);
    if (!inPlace)
        return 1; // nothing was started: the backend renders the job itself
    takeEnvironment(request->environment);
    if (!sendStarted(connection, ::getpid()))
        return 1;
    std::fprintf(stderr, "DEBUG: rendered by the resident renderer, process %d\n", int(::getpid()));
    // SIGTERM is the job's cancel, taken by the job's own watch: no thread may die of it.
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &term, nullptr);
    cancelWhenBackendLeaves(connection);
    const int status = service.runJob(request->args);
    std::fflush(nullptr);
    sendStatus(connection, status);
    return status;
}

// Whether the socket at path is still the one the renderer listens on: cupsd empties its
// temporary folder when it starts, and a folder that is gone takes its renderer with it.
bool stillListening(const std::string& path, ino_t socketInode)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_ino == socketInode;
}

// What a spare holds: the listening socket, the pipe on which it says that it took a job, the
// pipe whose closing tells it to leave; and what it lets go of: the renderer's lock and the
// renderer's ends of those pipes.
struct Spares {
    int listener, took, stop;
    int lock, heard, stopping;
};

// A spare: a process forked ahead of its job that waits for the next backend itself, so no job
// waits for a fork. Once it has a job it tells the renderer, which forks the next spare.
[[noreturn]] void serveAsSpare(const Spares& s, const Service& service)
{
    for (int fd : {s.lock, s.heard, s.stopping})
        ::close(fd);
    std::signal(SIGCHLD, SIG_DFL);
    for (;;) {
        pollfd p[2] = {{s.listener, POLLIN, 0}, {s.stop, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            ::_exit(0);
        }
        if (p[1].revents)
            ::_exit(0); // the renderer stopped, or died
        const int connection = ::accept4(s.listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue; // the backend gave up before it was taken
        if (!sameUser(connection)) {
            ::close(connection);
            continue;
        }
        const char byte = 1;
        const bool told = ::write(s.took, &byte, 1) == 1;
        ::close(s.took);
        ::close(s.stop);
        ::close(s.listener);
        if (!told)
            ::_exit(1); // no renderer to fork the next spare: this connection closes unanswered
        ::_exit(takeJob(connection, service));
    }
}

void forkSpare(const Spares& spares, const Service& service)
{
    if (::fork() == 0)
        serveAsSpare(spares, service);
    // A failed fork leaves the backends to render their jobs themselves until the next one.
}

int listenOn(const std::string& path)
{
    sockaddr_un address;
    if (!socketAddress(path, address))
        return -1;
    ::unlink(path.c_str());
    // Non-blocking: a spare that wakes for a backend that has gone again goes back to waiting.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int serveJobs(const std::string& folder, const Service& service)
{
    Descriptor lock(::open(lockPath(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return 0; // another renderer serves this folder, or is starting to
    service.warmUp();
    const std::string path = socketPath(folder);
    Descriptor listener(listenOn(path));
    int took[2] = {-1, -1}, stop[2] = {-1, -1};
    if (listener.get() < 0 || ::pipe2(took, O_CLOEXEC) != 0 || ::pipe2(stop, O_CLOEXEC) != 0)
        return 1;
    const Descriptor heard(took[0]), told(took[1]), stopping(stop[1]), stopped(stop[0]);
    const Spares spares{listener.get(), told.get(), stopped.get(), lock.get(), heard.get(), stopping.get()};
    struct stat bound {};
    ::lstat(path.c_str(), &bound);
    // Every job's process is reaped by the system; none is waited for.
    std::signal(SIGCHLD, SIG_IGN);
    constexpr int kTickMs = 1000;
    int idleMs = 0;
    forkSpare(spares, service);
    for (;;) {
        pollfd p{heard.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, kTickMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || !stillListening(path, bound.st_ino))
            break;
        if (ready == 0) {
            idleMs += kTickMs;
            if (idleMs >= service.idleSeconds * 1000)
                break;
            continue;
        }
        char byte;
        if (::read(heard.get(), &byte, 1) != 1)
            break;
        idleMs = 0;
        if (programReplaced())
            break; // no spare waits any more: the next backends render their jobs themselves
        forkSpare(spares, service);
    }
    // The spare sees its stop pipe close and leaves; backends still waiting in the queue are
    // hung up on and render their jobs themselves.
    if (stillListening(path, bound.st_ino))
        ::unlink(path.c_str());
    return 0;
}

} // namespace quillon::resident
