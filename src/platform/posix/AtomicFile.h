#pragma once
// Whole files that are either complete or not there: written beside their final name, flushed to
// the disk and renamed over it only when every byte is stored. A file that was good before is never
// replaced by a worse one, and nothing is left behind when writing fails or the program is ended
// by a signal.

#include "posix/TempCleanup.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <sys/types.h>

namespace quillon {

class AtomicFileWriter {
public:
    // path is taken byte for byte.
    explicit AtomicFileWriter(std::string path) : m_path(std::move(path)) {}
    // An uncommitted file is thrown away.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // The file's permissions once committed; without it, those the umask gives a new file.
    void setMode(mode_t mode) { m_mode = mode; }
    // Creates the temporary file beside the final name; false with the reason.
    bool open(std::string& error);
    // Where the contents go until commit.
    int fd() const { return m_fd; }
    // Stores the file to the disk and puts it under its name; false with the reason, the old
    // file under the name, if any, untouched.
    bool commit(std::string& error);

private:
    std::string m_path;
    std::string m_temp;
    int m_fd = -1;
    std::optional<mode_t> m_mode;
    std::unique_ptr<TempRegistration> m_registration;
};

// A whole file at once, as above.
bool replaceFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

} // namespace quillon
