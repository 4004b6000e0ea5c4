#pragma once
// The font the tests draw with: Courier New as the page renderer asks for it (the OEM character
// set, fixed pitch); by default 10 characters per inch in a cell of 6 lines per inch.

#include "gdi/DrawingContext.h"

#include <cstdint>

namespace quillon::test {

inline LogFont courierNew(int32_t height = 423, int32_t width = 254, int32_t weight = 400,
                          uint8_t charSet = kOemCharset)
{
    LogFont f;
    f.height = height;
    f.width = width;
    f.weight = weight;
    f.charSet = charSet;
    f.pitchAndFamily = kFixedPitch;
    f.faceName = u"Courier New";
    return f;
}

} // namespace quillon::test
