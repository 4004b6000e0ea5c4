#pragma once
// A write-only QIODevice on a file descriptor that remembers the first failed write. Qt's PDF
// writer does not look at the results of its writes, so whoever finishes a PDF asks this instead.

#include "posix/DescriptorIo.h"

#include <QIODevice>

#include <cerrno>

namespace quillon {

class DescriptorDevice final : public QIODevice {
public:
    // fd stays owned by the caller.
    explicit DescriptorDevice(int fd) : m_fd(fd) { open(QIODevice::WriteOnly); }

    bool isSequential() const override { return true; }
    // The errno of the first write that failed; 0 when every write went through.
    int failure() const { return m_failure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failure)
            return -1;
        if (!writeFully(m_fd, data, size_t(size))) {
            m_failure = errno ? errno : EIO;
            return -1;
        }
        return size;
    }

private:
    int m_fd;
    int m_failure = 0;
};

} // namespace quillon
