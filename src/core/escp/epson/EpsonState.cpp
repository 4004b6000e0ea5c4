#include "escp/epson/EpsonState.h"

namespace quillon::epson {

int64_t EpsonState::charWidth() const
{
    int64_t w = motionIndex;
    if (w == 0) {
        switch (pitch) {
        case Pitch::Pica:
            w = condensed ? perInch(120) * 7 : perInch(10); // 17.14 characters per inch
            break;
        case Pitch::Elite:
            w = condensed ? perInch(20) : perInch(12);
            break;
        case Pitch::Fifteen:
            w = perInch(15); // there is no condensed 15 cpi
            break;
        }
    }
    return (doubleWidth || lineDoubleWidth) ? 2 * w : w;
}

int64_t EpsonState::columnWidth() const
{
    const int64_t w = charWidth();
    return (doubleWidth || lineDoubleWidth) ? w / 2 : w;
}

int64_t EpsonState::charAdvance() const
{
    return charWidth() + ((doubleWidth || lineDoubleWidth) ? 2 * extraSpace : extraSpace);
}

} // namespace quillon::epson
