#include "PreviewLaunch.h"

#include "CliMessages.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace quillon {

int launchPreview(char** argv)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path here = ec ? std::filesystem::path(".") : self.parent_path();
    std::string tried;
    for (const std::filesystem::path& program :
         {here / "quillon-preview", here / QUILLON_PREVIEW_FROM_BIN / "quillon-preview"}) {
        const std::string path = program.lexically_normal().string();
        ::execv(path.c_str(), argv);
        tried += "\n  " + path + ": " + std::strerror(errno);
    }
    complain("the preview window cannot be started:" + tried);
    return 1;
}

} // namespace quillon
