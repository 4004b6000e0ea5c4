#pragma once
// What one family of Epson ESC/P printers is, as data: the units of its spacing commands, the dot
// grids of its bit-image modes, and which commands it knows with how many bytes each takes.

#include "escp/Emulation.h"

#include <array>
#include <cstdint>

namespace quillon::epson {

// Every length of the emulated printer is kept in one fine grid, 1/10800 inch: each unit of both
// families (1/60 .. 1/360, 1/72, 1/216, 1/3600 multiples) is a whole number of grid steps.
constexpr int64_t kGrid = 10800;
constexpr int64_t perInch(int64_t n) { return kGrid / n; } // one 1/n inch in grid steps

// How the bytes after ESC x are read.
enum class Shape : uint8_t {
    Unknown,     // not a command of this family: ESC and x are dropped
    Fixed,       // a fixed number of parameter bytes
    FormLength,  // ESC C n, or ESC C NUL n
    BitImage,    // ESC K/L/Y/Z nL nH data: columns of the mode's bytes
    BitImageM,   // ESC * m nL nH data
    NinePin,     // ESC ^ m nL nH data: two bytes a column
    TabList,     // ESC D / ESC B: values up to NUL, at most maxList of them
    ChannelTabs, // ESC b c values NUL
    UserChars,   // ESC & NUL n m and the characters' data
    Extended,    // ESC ( x nL nH data
    Raster,      // ESC . c v h m nL nH data
    PitchPoint,  // ESC X m nL nH (after the job markers)
};

struct CommandShape {
    Shape shape = Shape::Unknown;
    uint8_t params = 0;  // Fixed: the parameter bytes
    uint8_t maxList = 0; // TabList and ChannelTabs: how many values at most
};

// One bit-image mode: dots per inch across and down, and dots in a column.
struct BitImageMode {
    int16_t hdpi = 0; // 0: no such mode
    int16_t vdpi = 0;
    uint8_t dots = 0; // 8, 9, 24 or 48
    constexpr int bytesPerColumn() const { return (dots + 7) / 8; }
    constexpr bool valid() const { return hdpi > 0; }
};

struct EpsonModel {
    PrinterEmulation emulation;
    int pins;                    // 9 or 24
    int64_t fineFeed;            // ESC 3 n, ESC J n, ESC j n: n of these
    int64_t lineFeedA;           // ESC A n
    int64_t relativeMove;        // ESC \ n, before a unit is defined
    int64_t extraSpace;          // ESC SP n
    int64_t userCharBytesPerCol; // ESC & data: bytes a column (0: the 9-pin layout)
    std::array<CommandShape, 128> commands; // by the byte after ESC

    const CommandShape& command(uint8_t byte) const
    {
        static constexpr CommandShape unknown{};
        return byte < 128 ? commands[byte] : unknown;
    }
    // The mode of ESC * m; an invalid mode for an m the family lacks.
    BitImageMode bitImageMode(int m) const;
};

const EpsonModel& epsonModel(PrinterEmulation emulation); // Fx or Lq

} // namespace quillon::epson
