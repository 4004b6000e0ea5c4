#pragma once
// The arithmetic of the preview window, kept apart from the window so that it can be checked
// alone: the sheet's size and zoom for a zoom mode, the key table, and the print dialog's range.

#include "report/StoredPagePrinting.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// Zoom modes 1..11: fit width, whole page, then 500, 300, 200, 150, 125, 100, 75, 50, 25 %.
constexpr int kZoomModeCount = 11;
constexpr int kZoomFitWidth = 1;
constexpr int kZoomWholePage = 2;
constexpr int kZoomPercents[9] = {500, 300, 200, 150, 125, 100, 75, 50, 25};

struct PreviewLayoutInput {
    int lpx = 96;        // pixels per inch of the sheet's surface
    int lpy = 96;
    int vsb = 17;        // width of a vertical scroll bar
    int width = 0;       // the page area, scroll bars included
    int height = 0;
    int32_t pageWidth = 21000;  // the sheet as shown, 0.01 mm
    int32_t pageHeight = 29700;
    int zoomMode = kZoomFitWidth;
};

struct PreviewLayout {
    long double zoom = 1; // screen pixels per natural pixel
    int sheetWidth = 0;
    int sheetHeight = 0;
    int rangeX = 0;       // scroll ranges: 5 before the sheet, 7 of shadow and 5 after it
    int rangeY = 0;
    // 0.01 mm per LPX pixels at this zoom: the window extent of the sheet's mapping.
    int32_t unitsPerInch() const;
};

PreviewLayout layoutPreviewPage(const PreviewLayoutInput& in);

// What a key does on the page area.
enum class PreviewKey { Escape, PageUp, PageDown, End, Home, Left, Right, Up, Down, Other };
enum class PreviewCommand {
    None, Close, FirstPage, PriorPage, NextPage, LastPage,
    ScreenUp, ScreenDown, ToRightEdge, ToLeftEdge, StepLeft, StepRight, StepUp, StepDown
};
// Only Ctrl changes what a key does; Shift and Alt are ignored.
PreviewCommand previewKeyCommand(PreviewKey key, bool ctrl);

// The print dialog's three choices.
enum class RangeChoice { All, Current, Selected };
// The pages to print: all, the current one, or the typed range (text that is not a number stands
// for 1 in the first field and for count in the second), confined to 1..count. Nothing when the
// first page comes after the last.
std::optional<PageRange> chosenPrintRange(RangeChoice choice, int current, int count,
                                          const std::string& fromText, const std::string& toText);

// The whole number a field's text holds (blanks around it allowed), if it holds one.
std::optional<int> integerFromText(const std::string& text);

} // namespace quillon
