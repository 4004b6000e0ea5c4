#pragma once
// Temporary files and folders that must not outlive the program, also when it is ended by SIGINT,
// SIGTERM or SIGHUP: they are registered while they exist, and a signal removes what is left.

#include <string>

namespace quillon {

// Installs the handlers (once); the program then ends by the signal as it would have.
void removeTemporariesOnSignals();

// A path to remove on a signal; folders are removed after the files registered later.
class TempRegistration {
public:
    explicit TempRegistration(const std::string& path);
    ~TempRegistration();
    TempRegistration(const TempRegistration&) = delete;
    TempRegistration& operator=(const TempRegistration&) = delete;

private:
    int m_slot;
};

} // namespace quillon
