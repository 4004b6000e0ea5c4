#include "PdfInfo.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillon::bench {

namespace {

// Runs a program and returns its standard output; nothing when it could not run or failed.
std::optional<std::string> output(std::vector<std::string> args)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while (spawned == 0 && ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
        if (n > 0)
            text.append(buffer, size_t(n));
    ::close(fds[0]);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

} // namespace

// Whether program is an executable file in one of PATH's folders.
bool onPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The page count pdfinfo reads from the file; -1 when pdfinfo could not read it.
int pdfinfoPages(const std::string& path)
{
    std::optional<std::string> info = output({"pdfinfo", path});
    if (!info)
        return -1;
    const size_t at = info->find("\nPages:");
    if (at == std::string::npos)
        return -1;
    return std::atoi(info->c_str() + at + 7);
}

} // namespace quillon::bench
