#include "posix/AtomicFile.h"

#include "TextUtil.h"
#include "posix/DescriptorIo.h"

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

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
}

bool AtomicFileWriter::open(std::string& error)
{
    m_temp = folderOfPath(m_path) + "/." + nameOfPath(m_path).substr(0, 200) + ".XXXXXX";
    m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
    if (m_fd < 0) {
        const int why = errno;
        error = "cannot write " + m_path + ": " + std::strerror(why);
        return false;
    }
    m_registration = std::make_unique<TempRegistration>(m_temp);
    return true;
}

bool AtomicFileWriter::commit(std::string& error)
{
    if (m_fd < 0) {
        error = "cannot write " + m_path;
        return false;
    }
    const bool stored = ::fchmod(m_fd, m_mode ? *m_mode : newFileMode()) == 0 && ::fsync(m_fd) == 0;
    int why = errno;
    const bool closed = ::close(m_fd) == 0;
    if (stored && !closed)
        why = errno;
    m_fd = -1;
    const bool renamed = stored && closed && ::rename(m_temp.c_str(), m_path.c_str()) == 0;
    if (stored && closed && !renamed)
        why = errno;
    if (!renamed) {
        error = "cannot write " + m_path + ": " + std::strerror(why);
        ::unlink(m_temp.c_str());
        return false;
    }
    m_registration.reset();
    // The new name itself lasts only once the folder is on the disk too.
    const int dir = ::open(folderOfPath(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool replaceFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    AtomicFileWriter file(path);
    if (!file.open(error))
        return false;
    if (!writeFully(file.fd(), bytes.data(), bytes.size())) {
        const int why = errno;
        error = "cannot write " + path + ": " + std::strerror(why);
        return false;
    }
    return file.commit(error);
}

} // namespace quillon
