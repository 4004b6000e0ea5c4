#pragma once
// Jobs whose documents are on their way to CUPS, noted in a folder of the user's own. CUPS holds
// a job whose upload was cut off (the program crashed or was killed) for a quarter of an hour, an
// empty job in the queue; the next program to start cancels it instead.

#include <string>

namespace quillon {

// One upload in progress: a note in the folder, locked while the object lives (the lock goes with
// the process, so a note whose lock can be taken belongs to a program that ended). Removed when
// the object goes. Nothing is noted when the folder cannot be written.
class CupsUploadNote {
public:
    CupsUploadNote(const std::string& folder, const std::string& queue, int job);
    ~CupsUploadNote();
    CupsUploadNote(const CupsUploadNote&) = delete;
    CupsUploadNote& operator=(const CupsUploadNote&) = delete;

private:
    std::string m_path;
    int m_fd = -1;
};

// Cancels the jobs noted in folder by programs that ended during the upload, when CUPS got none
// of their documents, and forgets the notes. The number of jobs cancelled.
int cancelCutOffUploads(const std::string& folder);

} // namespace quillon
