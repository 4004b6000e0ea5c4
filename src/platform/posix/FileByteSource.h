#pragma once
// A spool file read through a POSIX descriptor.

#include "escp/ByteSource.h"
#include "posix/DescriptorIo.h"

namespace quillon {

class FileByteSource final : public ByteSource {
public:
    // fd stays owned by the caller.
    explicit FileByteSource(int fd) : m_fd(fd) {}

    size_t read(char* buffer, size_t size) override { return readFully(m_fd, buffer, size); }

private:
    int m_fd;
};

} // namespace quillon
