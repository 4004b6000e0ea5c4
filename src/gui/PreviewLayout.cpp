#include "PreviewLayout.h"

#include "Units.h"

#include <algorithm>
#include <charconv>

namespace quillon {

int32_t PreviewLayout::unitsPerInch() const
{
    return roundUnits(2540.0L / zoom);
}

PreviewLayout layoutPreviewPage(const PreviewLayoutInput& in)
{
    const long double naturalW = (long double)in.pageWidth * (1.0L / 2540.0L) * in.lpx;
    const long double naturalH = (long double)in.pageHeight * (1.0L / 2540.0L) * in.lpy;
    const int nw = std::max(1, roundUnits(naturalW));
    const int nh = std::max(1, roundUnits(naturalH));
    const long double heightAtZoom1 = (long double)in.pageHeight * in.lpy / 2540.0L;
    const long double widthAtZoom1 = (long double)in.pageWidth * in.lpx / 2540.0L;

    PreviewLayout out;
    if (in.zoomMode == kZoomWholePage) {
        const int aw = std::max(in.width - 21, 10);
        out.zoom = (long double)aw / nw;
        out.sheetWidth = aw;
        out.sheetHeight = roundUnits(heightAtZoom1 * out.zoom);
        if (in.height < out.sheetHeight + 21) {
            const int ah = std::max(in.height - 21, 10);
            out.zoom = (long double)ah / nh;
            out.sheetHeight = ah;
            out.sheetWidth = roundUnits(widthAtZoom1 * out.zoom);
        }
    } else if (in.zoomMode >= 3 && in.zoomMode <= kZoomModeCount) {
        const int percent = kZoomPercents[in.zoomMode - 3];
        out.sheetWidth = roundUnits((long double)nw * percent / 100.0L);
        out.zoom = (long double)out.sheetWidth / nw;
        out.sheetHeight = roundUnits(heightAtZoom1 * out.zoom);
    } else {
        int aw = std::max(in.width - 21, 10);
        out.zoom = (long double)aw / nw;
        out.sheetHeight = roundUnits(heightAtZoom1 * out.zoom);
        if (in.height < out.sheetHeight + 21) {
            aw = std::max(in.width - 21 - in.vsb, 10);
            out.zoom = (long double)aw / nw;
            out.sheetHeight = roundUnits(heightAtZoom1 * out.zoom);
        }
        out.sheetWidth = aw;
    }
    out.rangeX = out.sheetWidth + 17;
    out.rangeY = out.sheetHeight + 17;
    return out;
}

PreviewCommand previewKeyCommand(PreviewKey key, bool ctrl)
{
    switch (key) {
    case PreviewKey::Escape:
        return ctrl ? PreviewCommand::None : PreviewCommand::Close;
    case PreviewKey::PageUp:
        return ctrl ? PreviewCommand::PriorPage : PreviewCommand::ScreenUp;
    case PreviewKey::PageDown:
        return ctrl ? PreviewCommand::NextPage : PreviewCommand::ScreenDown;
    case PreviewKey::End:
        return ctrl ? PreviewCommand::LastPage : PreviewCommand::ToRightEdge;
    case PreviewKey::Home:
        return ctrl ? PreviewCommand::FirstPage : PreviewCommand::ToLeftEdge;
    case PreviewKey::Left:
        return ctrl ? PreviewCommand::None : PreviewCommand::StepLeft;
    case PreviewKey::Right:
        return ctrl ? PreviewCommand::None : PreviewCommand::StepRight;
    case PreviewKey::Up:
        return ctrl ? PreviewCommand::None : PreviewCommand::StepUp;
    case PreviewKey::Down:
        return ctrl ? PreviewCommand::None : PreviewCommand::StepDown;
    case PreviewKey::Other:
        break;
    }
    return PreviewCommand::None;
}

std::optional<int> integerFromText(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return std::nullopt;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+')
        ++first;
    int value = 0;
    auto [stop, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || stop != last)
        return std::nullopt;
    return value;
}

std::optional<PageRange> chosenPrintRange(RangeChoice choice, int current, int count,
                                          const std::string& fromText, const std::string& toText)
{
    PageRange range{1, count};
    if (choice == RangeChoice::Current)
        range = {current, current};
    else if (choice == RangeChoice::Selected)
        range = {integerFromText(fromText).value_or(1), integerFromText(toText).value_or(count)};
    range = confinePageRange(range, count);
    if (range.first > range.last)
        return std::nullopt;
    return range;
}

} // namespace quillon
