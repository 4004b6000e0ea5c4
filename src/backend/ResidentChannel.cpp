#include "ResidentChannel.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillon::resident {

namespace {

// A request holds a job's arguments and environment: a few kilobytes. Anything larger is refused
// by both ends (the backend then renders the job itself).
constexpr size_t kMaxMessage = 256 * 1024;
constexpr char kJobTag[] = "job";
constexpr char kStartedTag[] = "started ";
constexpr char kStatusTag[] = "status ";

void appendU32(std::string& out, uint32_t v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

bool sendText(int socket, const std::string& text)
{
    for (;;) {
        const ssize_t n = ::send(socket, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        return n == ssize_t(text.size());
    }
}

// Reads the strings of a request body: count NUL-terminated strings from p, never past end.
bool readStrings(const char*& p, const char* end, uint32_t count, std::vector<std::string>& out)
{
    for (uint32_t i = 0; i < count; ++i) {
        const void* nul = std::memchr(p, '\0', size_t(end - p));
        if (!nul)
            return false;
        out.emplace_back(p, static_cast<const char*>(nul));
        p = static_cast<const char*>(nul) + 1;
    }
    return true;
}

} // namespace

std::string privateFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/quillon-renderer-"
        + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // Only a real folder of this user's that nobody else may enter: a name someone else made
    // first is never used.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 077) != 0)
        return {};
    return folder;
}

std::string socketPath(const std::string& folder)
{
    return folder + "/socket";
}

bool socketAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string lockPath(const std::string& folder)
{
    return folder + "/lock";
}

bool rendererHoldsLock(const std::string& folder)
{
    const int fd = ::open(lockPath(folder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

int connectToRenderer(const std::string& folder)
{
    sockaddr_un address;
    if (!socketAddress(socketPath(folder), address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int rc;
    do
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendRequest(int socket, const std::vector<std::string>& args, const std::vector<std::string>& environment)
{
    std::string body(kJobTag, sizeof kJobTag);
    appendU32(body, uint32_t(args.size()));
    appendU32(body, uint32_t(environment.size()));
    for (const auto* list : {&args, &environment})
        for (const std::string& s : *list)
            body.append(s.c_str(), s.size() + 1);
    if (body.size() > kMaxMessage)
        return false;

    iovec iov{body.data(), body.size()};
    const int here = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (here < 0)
        return false;
    const int fds[kRequestFds] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, here};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof fds)] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(sizeof fds);
    std::memcpy(CMSG_DATA(cmsg), fds, sizeof fds);
    ssize_t n;
    do
        n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    ::close(here);
    return n == ssize_t(body.size());
}

std::optional<JobRequest> receiveRequest(int socket)
{
    std::string body(kMaxMessage, '\0');
    iovec iov{body.data(), body.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(kRequestFds * sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n;
    do
        n = ::recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);

    JobRequest request;
    int received = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const int count = int((c->cmsg_len - CMSG_LEN(0)) / sizeof(int));
        for (int i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (received < kRequestFds)
                request.fds[received] = fd;
            else
                ::close(fd);
            ++received;
        }
    }
    auto refuse = [&]() -> std::optional<JobRequest> {
        for (int fd : request.fds)
            if (fd >= 0)
                ::close(fd);
        return std::nullopt;
    };
    const size_t header = sizeof kJobTag + 2 * sizeof(uint32_t);
    if (n < ssize_t(header) || (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || received != kRequestFds
        || std::memcmp(body.data(), kJobTag, sizeof kJobTag) != 0)
        return refuse();
    uint32_t argc, envc;
    std::memcpy(&argc, body.data() + sizeof kJobTag, sizeof argc);
    std::memcpy(&envc, body.data() + sizeof kJobTag + sizeof argc, sizeof envc);
    const char* p = body.data() + header;
    const char* end = body.data() + n;
    if (argc == 0 || !readStrings(p, end, argc, request.args) || !readStrings(p, end, envc, request.environment)
        || p != end)
        return refuse();
    return request;
}

bool sendStarted(int socket, pid_t pid)
{
    return sendText(socket, kStartedTag + std::to_string(pid));
}

bool sendStatus(int socket, int status)
{
    return sendText(socket, kStatusTag + std::to_string(status));
}

Reply receiveReply(int socket)
{
    char buffer[64];
    const ssize_t n = ::recv(socket, buffer, sizeof buffer - 1, 0);
    if (n < 0 && errno == EINTR)
        return {Reply::Kind::Interrupted, 0};
    if (n <= 0)
        return {};
    buffer[n] = '\0';
    for (auto [tag, kind] : {std::pair{kStartedTag, Reply::Kind::Started}, std::pair{kStatusTag, Reply::Kind::Status}}) {
        const size_t length = std::strlen(tag);
        if (size_t(n) <= length || std::strncmp(buffer, tag, length) != 0)
            continue;
        char* rest = nullptr;
        errno = 0;
        const long value = std::strtol(buffer + length, &rest, 10);
        if (errno == 0 && *rest == '\0' && value >= 0)
            return {kind, value};
    }
    return {};
}

} // namespace quillon::resident
