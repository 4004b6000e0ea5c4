#include "posix/AtomicFile.h"

#include "TextUtil.h"
#include "posix/DescriptorIo.h"
#include "posix/TempCleanup.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

// Files get the permissions the user's umask gives new files, as a plain create would.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool replaceFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    std::string temp = folderOfPath(path) + "/." + nameOfPath(path).substr(0, 200) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    TempRegistration cleanup(temp);
    const bool stored = writeFully(fd, bytes.data(), bytes.size()) && ::fchmod(fd, newFileMode()) == 0
        && ::fsync(fd) == 0;
    const int savedErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!stored || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(!stored ? savedErrno : errno);
        ::unlink(temp.c_str());
        return false;
    }
    // The new name itself lasts only once the folder is on the disk too.
    const int dir = ::open(folderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace quillon
