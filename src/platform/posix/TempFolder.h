#pragma once
// A private folder for the intermediate files of a run (the page store behind PNG pages, a spool
// stream read from a pipe), under the system's temporary folder; removed with the object, and
// also when the program is ended by a signal (see TempCleanup.h).

#include "posix/TempCleanup.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return m_path; }
    // A file inside, registered for removal on a signal.
    std::string file(const std::string& name);

private:
    std::string m_path;
    std::vector<std::unique_ptr<TempRegistration>> m_registrations;
};

} // namespace quillon
