#include "posix/PrivateCopy.h"

#include "posix/DescriptorIo.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace quillon {

int copyToPrivateFile(int in, const std::string& folder, std::string& error, const std::atomic<bool>* cancelled)
{
    std::string path = folder + "/job-XXXXXX";
    const int copy = ::mkostemp(path.data(), O_CLOEXEC);
    if (copy < 0) {
        error = "cannot make a temporary file in " + folder + ": " + std::strerror(errno);
        return -1;
    }
    ::unlink(path.c_str());
    char buffer[65536];
    while (!cancelled || !*cancelled) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = std::string("cannot read the input: ") + std::strerror(errno);
            ::close(copy);
            return -1;
        }
        if (got == 0)
            return copy;
        if (!writeFully(copy, buffer, size_t(got))) {
            error = "cannot store the input in " + folder + ": " + std::strerror(errno);
            ::close(copy);
            return -1;
        }
    }
    ::close(copy);
    error = "cancelled";
    return -1;
}

} // namespace quillon
