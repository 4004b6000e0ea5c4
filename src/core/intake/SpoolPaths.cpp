#include "intake/SpoolPaths.h"

namespace quillon {

namespace {

std::string expandHome(const std::string& pattern, const std::string& home)
{
    if (pattern.rfind("~/", 0) == 0)
        return withTrailingSlash(home) + pattern.substr(2);
    return pattern;
}

} // namespace

std::string patternDirectory(const std::string& pattern, const std::string& home)
{
    const std::string p = expandHome(pattern, home);
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return p.substr(0, slash);
}

bool isAbsolutePattern(const std::string& pattern)
{
    return pattern.rfind('/', 0) == 0 || pattern.rfind("~/", 0) == 0;
}

std::string relativePatternMessage(const std::string& pattern)
{
    return "Wzorzec folderu „" + pattern + "” pominięto: nie jest pełną ścieżką. Wzorzec musi się "
           "zaczynać od „/” albo od „~/” (folder domowy), np. ~/DOSPRN/*.prn.";
}

std::string patternMask(const std::string& pattern)
{
    const size_t slash = pattern.rfind('/');
    return slash == std::string::npos ? pattern : pattern.substr(slash + 1);
}

std::string withTrailingSlash(const std::string& dir)
{
    if (!dir.empty() && dir.back() == '/')
        return dir;
    return dir + "/";
}

} // namespace quillon
