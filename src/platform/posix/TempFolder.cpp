#include "posix/TempFolder.h"

#include <filesystem>

#include <stdlib.h>

namespace quillon {

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::error_code ec;
    std::string tmpl = (fs::temp_directory_path(ec) / "quillon-render-XXXXXX").string();
    if (!ec && ::mkdtemp(tmpl.data())) {
        m_path = tmpl;
        m_registrations.push_back(std::make_unique<TempRegistration>(m_path));
    }
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

std::string TempFolder::file(const std::string& name)
{
    const std::string path = m_path + "/" + name;
    m_registrations.push_back(std::make_unique<TempRegistration>(path));
    return path;
}

} // namespace quillon
