#pragma once
// Whole reads and writes on a POSIX descriptor, going on after interruptions and short transfers.

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include <sys/uio.h>
#include <unistd.h>

namespace quillon {

// Reads until size bytes came or the data ends; a failed read ends the data too.
inline size_t readFully(int fd, void* buffer, size_t size)
{
    auto p = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::read(fd, p + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += size_t(n);
    }
    return total;
}

// Reads at offset, without moving the descriptor's position, until size bytes came or the file
// ends; a failed read ends it too. Returns how many bytes came.
inline size_t readFullyAt(int fd, void* buffer, size_t size, off_t offset)
{
    auto p = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::pread(fd, p + total, size - total, offset + off_t(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += size_t(n);
    }
    return total;
}

// Writes all size bytes; false when that fails.
inline bool writeFully(int fd, const void* data, size_t size)
{
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Writes the parts one after the other, in as few calls as the system allows. The parts are
// used up as they are written.
inline bool writevFully(int fd, iovec* parts, int count)
{
    while (count > 0) {
        if (parts->iov_len == 0) {
            ++parts;
            --count;
            continue;
        }
        ssize_t n = ::writev(fd, parts, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (size_t left = size_t(n); left > 0;) {
            const size_t used = std::min(left, parts->iov_len);
            parts->iov_base = static_cast<char*>(parts->iov_base) + used;
            parts->iov_len -= used;
            left -= used;
            if (parts->iov_len == 0 && left > 0) {
                ++parts;
                --count;
            }
        }
    }
    return true;
}

// A descriptor owned by one scope: closed when it ends.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Takes fd, closing the one held before.
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

} // namespace quillon
