#pragma once
// A spool file read through a POSIX descriptor.

#include "escp/ByteSource.h"

#include <cerrno>

#include <unistd.h>

namespace quillon {

class FileByteSource final : public ByteSource {
public:
    // fd stays owned by the caller.
    explicit FileByteSource(int fd) : m_fd(fd) {}

    size_t read(char* buffer, size_t size) override
    {
        size_t total = 0;
        while (total < size) {
            ssize_t n = ::read(m_fd, buffer + total, size - total);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // end of file; a failed read ends the data too
            total += size_t(n);
        }
        return total;
    }

private:
    int m_fd;
};

} // namespace quillon
