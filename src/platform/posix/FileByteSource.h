#pragma once
// A spool file read through a POSIX descriptor.

#include "escp/ByteSource.h"

#include <cerrno>

#include <unistd.h>

namespace quillon {

// Reads until size bytes came or the file ends; a failed read ends the data too.
inline size_t readFully(int fd, char* buffer, size_t size)
{
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::read(fd, buffer + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += size_t(n);
    }
    return total;
}

class FileByteSource final : public ByteSource {
public:
    // fd stays owned by the caller.
    explicit FileByteSource(int fd) : m_fd(fd) {}

    size_t read(char* buffer, size_t size) override { return readFully(m_fd, buffer, size); }

private:
    int m_fd;
};

} // namespace quillon
