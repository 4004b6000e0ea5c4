#include "OutputTarget.h"

#include <cctype>
#include <cstdio>

namespace quillon {

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix)
{
    const std::string tail(suffix);
    if (s.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

} // namespace

OutputKind outputKindOf(const RenderOptions& o)
{
    if (o.print)
        return OutputKind::Printer;
    if (endsWithNoCase(o.output, ".png"))
        return OutputKind::PngPages;
    if (endsWithNoCase(o.output, ".pdf"))
        return OutputKind::PdfFile;
    return OutputKind::PageStore;
}

std::string pngPageName(const std::string& output, int page)
{
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", page);
    const size_t stem = output.size() >= 4 ? output.size() - 4 : output.size();
    return output.substr(0, stem) + number + output.substr(stem);
}

} // namespace quillon
