#pragma once
// The line between the quillon backend that CUPS starts for each job and the resident renderer
// that keeps the drawing libraries and fonts loaded between jobs.
//
// Both run as the same user, in the folder $TMPDIR/quillon-renderer-UID (mode 0700, owned by that
// user; anything else there is not trusted and not used). The renderer listens on the folder's
// "socket" and holds an exclusive lock on its "lock" file for as long as it starts or serves.
//
// A job goes over one connection (a sequenced-packet Unix socket, so every message arrives whole):
//   backend -> renderer: the job: its arguments, its environment, and its standard input, output
//                        and error and its working folder as descriptors;
//   renderer -> backend: "started PID" once a process of its own has taken the job, then
//                        "status N", the job's exit code, when it is done.
// A connection that closes before "started" took nothing: the backend renders the job itself.

#include <optional>
#include <sys/un.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillon::resident {

// The folder for this user under $TMPDIR (or /tmp), made when missing; empty when it cannot be
// made or is not this user's own private folder.
std::string privateFolder();

std::string socketPath(const std::string& folder);
// The address of the Unix socket at path; false when the path is too long for one.
bool socketAddress(const std::string& path, struct sockaddr_un& address);
std::string lockPath(const std::string& folder);

// Whether a renderer holds the folder's lock (starting up or serving).
bool rendererHoldsLock(const std::string& folder);

// A request carries the backend's standard input, output and error, and its working folder (so a
// file named relative to it is the same file for the job).
constexpr int kRequestFds = 4;

struct JobRequest {
    std::vector<std::string> args; // argv, the program's name first
    std::vector<std::string> environment;
    // Standard input, output and error, and the working folder; owned by the receiver.
    int fds[kRequestFds] = {-1, -1, -1, -1};
};

// A connected socket to the folder's renderer, or -1.
int connectToRenderer(const std::string& folder);

bool sendRequest(int socket, const std::vector<std::string>& args, const std::vector<std::string>& environment);
// The request on socket; nothing when the message is not a whole request with its descriptors
// (any descriptors that came are closed).
std::optional<JobRequest> receiveRequest(int socket);

bool sendStarted(int socket, pid_t pid);
bool sendStatus(int socket, int status);

struct Reply {
    // Closed: the connection ended, or the message was not a reply. Interrupted: a signal came
    // while waiting; wait again.
    enum class Kind { Started, Status, Closed, Interrupted } kind = Kind::Closed;
    long value = 0; // the pid, or the status
};
Reply receiveReply(int socket);

} // namespace quillon::resident
