#pragma once
// The resident renderer: a process that starts once, loads the drawing libraries and fonts, and
// then renders the jobs that quillon backends hand it, each in a process of its own forked from
// it, so a job pays neither for loading nor for a crash of another job. It goes when it has had no
// job for a while, or when the program it runs was replaced by an update.

#include <functional>
#include <string>
#include <vector>

namespace quillon::resident {

struct Service {
    // Runs once before the first job is taken, to load what every job needs.
    std::function<void()> warmUp;
    // One job, in its own process: its descriptors are 0, 1 and 2 and its environment is the
    // process's; args is its argv. Returns the job's exit code.
    std::function<int(const std::vector<std::string>& args)> runJob;
    int idleSeconds = 300;
};

// Serves the folder's socket until the renderer has been idle for service.idleSeconds. Returns
// at once when another renderer holds the folder. The exit code of the renderer.
int serveJobs(const std::string& folder, const Service& service);

} // namespace quillon::resident
