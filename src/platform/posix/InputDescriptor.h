#pragma once
// A job's input opened for reading: a file by name, or standard input. Opening never waits for
// the writer of a FIFO; reads wait once setBlocking() was called.

#include "posix/DescriptorIo.h"

#include <cstdint>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

namespace quillon {

// The file at path opened for reading; -1 when it cannot be.
inline int openForReading(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

// Moves to the end of the file; its size, or -1 when the descriptor cannot seek.
inline int64_t seekToEnd(int fd)
{
    return int64_t(::lseek(fd, 0, SEEK_END));
}

// Back to the start of the file.
inline void rewind(int fd)
{
    ::lseek(fd, 0, SEEK_SET);
}

class InputDescriptor {
public:
    // Opens path, or a copy of standard input when fromStdin; false with a reason that names
    // path when it cannot be opened or examined.
    bool open(const std::string& path, bool fromStdin, std::string& error);
    int fd() const { return m_fd.get(); }
    bool isRegular() const { return S_ISREG(m_stat.st_mode); }
    bool isFifo() const { return S_ISFIFO(m_stat.st_mode); }
    // Whether path names this very file.
    bool isFile(const std::string& path) const;
    void setBlocking();

private:
    Descriptor m_fd;
    struct stat m_stat {};
};

} // namespace quillon
