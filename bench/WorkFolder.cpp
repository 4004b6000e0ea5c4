#include "WorkFolder.h"

#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace quillon::bench {

namespace fs = std::filesystem;

WorkFolder::WorkFolder(const std::string& out)
{
    if (!out.empty()) {
        std::error_code ec;
        fs::create_directories(out, ec);
        if (fs::is_directory(out, ec))
            m_path = fs::absolute(out, ec).lexically_normal().string();
        return;
    }
    std::string tmpl = "/tmp/quillon-bench-XXXXXX";
    if (::mkdtemp(tmpl.data())) {
        m_path = tmpl;
        m_owned = true;
    }
}

WorkFolder::~WorkFolder()
{
    std::error_code ec;
    if (m_owned)
        fs::remove_all(m_path, ec);
}

void WorkFolder::remove(const char* name) const
{
    std::error_code ec;
    fs::remove(file(name), ec);
}

void WorkFolder::settle() const
{
    int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

} // namespace quillon::bench
