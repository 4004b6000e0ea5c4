#include "posix/PosixFileAccess.h"

#include "posix/DescriptorIo.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace quillon {

namespace {

class PosixOutputFile final : public OutputFile {
public:
    explicit PosixOutputFile(int fd) : m_fd(fd) { m_buffer.reserve(kBufferSize); }
    ~PosixOutputFile() override { close(); }

    bool write(const void* data, size_t size) override
    {
        if (m_fd < 0 || m_failed)
            return false;
        if (size >= kDirectSize) {
            // A page picture goes out as it is, after what the buffer holds, in one call, up to
            // the last whole block of the file: the rest waits in the buffer, so no block of the
            // file is written twice.
            const int64_t end = m_position + int64_t(size);
            const size_t direct = size - size_t(end % kBlockSize);
            if (!writeBoth(data, direct))
                return fail();
            auto p = static_cast<const uint8_t*>(data);
            m_buffer.assign(p + direct, p + size);
        } else {
            if (m_buffer.size() + size > kBufferSize && !flushBuffer())
                return false;
            auto p = static_cast<const uint8_t*>(data);
            m_buffer.insert(m_buffer.end(), p, p + size);
        }
        m_position += int64_t(size);
        return true;
    }
    int64_t position() const override { return m_position; }
    bool flush() override
    {
        if (m_fd < 0)
            return false;
        return flushBuffer();
    }
    bool close() override
    {
        if (m_fd < 0)
            return !m_failed;
        bool ok = flushBuffer();
        // The file was overwritten in place: cut off what is left of an older, longer one.
        if (ok && ::ftruncate(m_fd, m_position) != 0)
            ok = false;
        if (::close(m_fd) != 0)
            ok = false;
        m_fd = -1;
        if (!ok)
            m_failed = true;
        return !m_failed;
    }

private:
    static constexpr size_t kBufferSize = 256 * 1024;
    // Larger writes are not copied into the buffer, except for what goes past a block's end.
    static constexpr size_t kDirectSize = 16 * 1024;
    static constexpr int64_t kBlockSize = 4096;
    bool writeBoth(const void* data, size_t size)
    {
        iovec parts[2] = {{m_buffer.data(), m_buffer.size()}, {const_cast<void*>(data), size}};
        const bool ok = writevFully(m_fd, parts, 2);
        m_buffer.clear();
        return ok;
    }
    bool flushBuffer()
    {
        if (m_buffer.empty())
            return !m_failed;
        bool ok = writeFully(m_fd, m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return ok ? !m_failed : fail();
    }
    bool fail()
    {
        m_failed = true;
        return false;
    }

    int m_fd;
    int64_t m_position = 0;
    bool m_failed = false;
    std::vector<uint8_t> m_buffer;
};

class PosixInputFile final : public InputFile {
public:
    PosixInputFile(int fd, int64_t size) : m_fd(fd), m_size(size) {}
    ~PosixInputFile() override { ::close(m_fd); }

    int64_t size() const override { return m_size; }
    bool readAt(int64_t offset, void* data, size_t size) override
    {
        if (offset < 0 || offset > m_size || int64_t(size) > m_size - offset)
            return false;
        return readFullyAt(m_fd, data, size, off_t(offset)) == size;
    }

private:
    int m_fd;
    int64_t m_size;
};

} // namespace

PosixFileAccess::PosixFileAccess(std::string programDir) : m_programDir(std::move(programDir))
{
    while (m_programDir.size() > 1 && m_programDir.back() == '/')
        m_programDir.pop_back();
}

std::unique_ptr<OutputFile> PosixFileAccess::createExclusive(const std::string& path,
                                                             std::string& error)
{
    // Lock before truncating, so a store that someone is reading is never cut under them.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = "the file is in use";
        ::close(fd);
        return nullptr;
    }
    // The old contents are overwritten in place and the rest cut off at close, rather than
    // truncated now: on ext4 a file truncated to nothing is flushed to disk as a whole when it is
    // closed, which costs a large store a third of a second. Until then the old end marker is
    // wiped, so an interrupted run never leaves a store that looks complete.
    if (st.st_size > 0) {
        static const char zeros[32] = {};
        const off_t wipe = std::min<off_t>(st.st_size, sizeof zeros);
        if (::pwrite(fd, zeros, size_t(wipe), st.st_size - wipe) != wipe) {
            error = std::strerror(errno);
            ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<PosixOutputFile>(fd);
}

std::unique_ptr<InputFile> PosixFileAccess::openDenyWrite(const std::string& path,
                                                          OpenFailure& failure)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure = errno == ENOENT ? OpenFailure::NotFound : OpenFailure::CannotRead;
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        failure = OpenFailure::CannotRead;
        return nullptr;
    }
    failure = OpenFailure::None;
    return std::make_unique<PosixInputFile>(fd, int64_t(st.st_size));
}

bool PosixFileAccess::writeWholeFile(const std::string& path, std::span<const uint8_t> bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeFully(fd, bytes.data(), bytes.size());
    return ::close(fd) == 0 && ok;
}

std::string PosixFileAccess::programDir() const
{
    std::error_code ec;
    std::filesystem::create_directories(m_programDir, ec);
    return m_programDir;
}

} // namespace quillon
