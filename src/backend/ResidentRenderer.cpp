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

int listenOn(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
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
    if (listener.get() < 0)
        return 1;
    struct stat bound {};
    ::lstat(path.c_str(), &bound);
    // Every job's process is reaped by the system; none is waited for.
    std::signal(SIGCHLD, SIG_IGN);
    constexpr int kTickMs = 1000;
    int idleMs = 0;
    for (;;) {
        pollfd p{listener.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, kTickMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || !stillListening(path, bound.st_ino))
            return 0;
        if (ready == 0) {
            idleMs += kTickMs;
            if (idleMs >= service.idleSeconds * 1000)
                break;
            continue;
        }
        idleMs = 0;
        Descriptor connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.get() < 0 || !sameUser(connection.get()))
            continue;
        if (programReplaced())
            break; // the connection closes unanswered: its backend renders the job itself
        const pid_t pid = ::fork();
        if (pid == 0) {
            listener.reset(-1);
            lock.reset(-1);
            std::signal(SIGCHLD, SIG_DFL);
            ::_exit(takeJob(connection.get(), service));
        }
        // A failed fork closes the connection unanswered too.
    }
    ::unlink(path.c_str());
    return 0;
}

} // namespace quillon::resident
