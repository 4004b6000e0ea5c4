#include "intake/JobHeader.h"

namespace quillon {

namespace {

bool contains(std::string_view header, char marker)
{
    const char sequence[3] = {'\x1b', 'X', marker};
    return header.substr(0, kJobHeaderSize).find(std::string_view(sequence, 3)) != std::string_view::npos;
}

} // namespace

TVxPaperOrient jobOrientation(std::string_view header, const std::string& pageOrient)
{
    if (contains(header, '1'))
        return vxPortrait;
    if (contains(header, '0'))
        return vxLandscape;
    return pageOrient == "L" ? vxLandscape : vxPortrait;
}

int jobFontSize(std::string_view header, int defaultSize)
{
    const char markers[] = "ABCDEFG";
    for (int i = 0; i < 7; ++i)
        if (contains(header, markers[i]))
            return 12 - i;
    return defaultSize;
}

} // namespace quillon
