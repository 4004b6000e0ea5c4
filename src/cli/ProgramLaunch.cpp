#include "ProgramLaunch.h"

#include "CliMessages.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace quillon {

int runInstead(const char* program, const char* what, char** argv)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path here = ec ? std::filesystem::path(".") : self.parent_path();
    std::string tried;
    for (const std::filesystem::path& candidate : {here / program, here / QUILLON_PROGRAMS_FROM_BIN / program}) {
        const std::string path = candidate.lexically_normal().string();
        ::execv(path.c_str(), argv);
        tried += "\n  " + path + ": " + std::strerror(errno);
    }
    complain(std::string(what) + " cannot be started:" + tried);
    return 1;
}

} // namespace quillon
