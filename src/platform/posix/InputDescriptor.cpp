#include "posix/InputDescriptor.h"

#include <cerrno>
#include <cstring>

namespace quillon {

bool InputDescriptor::open(const std::string& path, bool fromStdin, std::string& error)
{
    m_fd.reset(fromStdin ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (m_fd.get() < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (::fstat(m_fd.get(), &m_stat) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool InputDescriptor::isFile(const std::string& path) const
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == m_stat.st_dev && st.st_ino == m_stat.st_ino;
}

void InputDescriptor::setBlocking()
{
    ::fcntl(m_fd.get(), F_SETFL, ::fcntl(m_fd.get(), F_GETFL) & ~O_NONBLOCK);
}

} // namespace quillon
