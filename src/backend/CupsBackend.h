#pragma once
// The CUPS backend quillon: CUPS hands it the raw DOS printer stream of a job on a queue whose
// device URI is quillon:/TARGET or quillon:/pdf/FOLDER; it renders the job with the engine and
// prints the PDF on the CUPS queue TARGET of the same server, with the job's user and title, or
// writes it into FOLDER. It talks to CUPS through its exit code and the prefixed lines on its
// standard error (INFO:, ERROR:, PAGE:, STATE:).

#include "BackendRequest.h"
#include "BackendStatus.h"

#include <string>

namespace quillon {

class CupsBackend {
public:
    // Before Qt starts. Reads the arguments (after the program's name) and the device URI, makes
    // the job's private temporary folder (TMPDIR points into it from here on) and starts watching
    // for SIGTERM, which CUPS sends when the job is cancelled. False when the process is done:
    // status() is then its exit code. folder: a private folder of the caller's to use instead
    // (a resident renderer's own), which the job leaves in place.
    bool start(const std::vector<std::string>& args, const std::string& deviceUri, const std::string& folder = {});
    int status() const { return m_status; }

    // The job itself (needs a Qt GUI application for its fonts). The backend's exit code; the
    // temporary folder is removed.
    int run();

    ~CupsBackend();

private:
    int finish(int status, const std::string& message);
    int runToQueue(int input);
    int runToFolder(int input);

    BackendJob m_job;
    BackendDevice m_device;
    RenderOptions m_options;
    std::string m_folder;  // where the job's files on the side go
    std::string m_tempDir; // the folder the job made for itself, removed at its end
    int m_status = BackendOk;
};

} // namespace quillon
