#pragma once
// The backend's target queue as the print server sees it, checked before a job is rendered for
// it: a queue that exists, accepts jobs and leads neither to a DOS stream queue nor back to the
// backend's own queue, directly or through a class.

#include <string>
#include <utility>
#include <vector>

namespace quillon {

struct TargetVerdict {
    enum class Kind {
        Ready, // print on it
        Stop,  // the queue is set up wrongly: stop it, with the reason
        Retry, // the target or the server cannot take the job now
    };
    Kind kind = Kind::Ready;
    std::string reason;
};

// self: the name of the queue the backend serves (CUPS gives it in PRINTER); empty when unknown.
// Queue names are compared as CUPS compares them, without regard to case. opened: the target's
// options as libcups gave them when the queue was opened (they hold its type, its device and
// whether it accepts jobs), so that the scheduler is not asked again; null asks it.
TargetVerdict checkTargetQueue(const std::string& target, const std::string& self,
                               const std::vector<std::pair<std::string, std::string>>* opened = nullptr);

} // namespace quillon
