#pragma once
// Paper formats, orientations and print destinations of the report.

#include <array>
#include <cstdint>

namespace quillon {

enum TVxPrintDest : uint8_t { vxPrinter = 0, vxPreviewer = 1 };
enum TVxPaperFormat : uint8_t { pfA4 = 0, pfA5, pfB5, pfLetter, pfLegal, pfExecutive, pfUser };
enum TVxPaperOrient : uint8_t { vxPortrait = 0, vxLandscape = 1 };

struct PaperSize {
    int32_t width;  // portrait, report units
    int32_t length;
    uint8_t paperCode; // written into every page record
};

constexpr std::array<PaperSize, 7> PaperSizes = {{
    {21000, 29700, 1},  // A4
    {14800, 21000, 2},  // A5
    {18200, 25700, 3},  // B5
    {21600, 27900, 4},  // Letter
    {21600, 35600, 5},  // Legal
    {18500, 26700, 6},  // Executive
    {21000, 29700, 99}, // user-defined
}};

} // namespace quillon
