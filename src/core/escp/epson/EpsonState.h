#pragma once
// The state of an emulated Epson printer between commands. Lengths are in the fine grid of
// EpsonModel.h (1/10800 inch); horizontal ones from the left edge of the printable area, vertical
// ones from the top of the sheet (sheetY) and of the form (formY).

#include "escp/epson/EpsonCommand.h"

#include <cstdint>
#include <vector>

namespace quillon::epson {

enum class Pitch : uint8_t { Pica, Elite, Fifteen };
enum class CharTable : uint8_t { Italic, Graphics };

struct EpsonState {
    // Where the head is.
    int64_t x = 0;
    int64_t sheetY = 0;
    int64_t formY = 0;

    // The page: form length (0: the sheet's), margins.
    int64_t formLength = 0;
    int64_t topMargin = 0;    // ESC ( c: where printing starts on a new form
    int64_t bottomMargin = 0; // skip-over-perforation: lines kept blank at the form's end
    int64_t pageBottom = 0;   // ESC ( c: the last position printed on, from the form's top
    int64_t leftMargin = 0;
    int64_t rightMargin = 0;  // 0: the sheet's printable width

    // Spacing.
    int64_t lineSpacing = perInch(6);
    int64_t extraSpace = 0;    // ESC SP
    int64_t motionIndex = 0;   // ESC c: a fixed character advance; 0: by the pitch
    int64_t pointSize = 0;     // ESC X: characters of this many half points; 0: the printer's 10.5
    int64_t unit = 0;          // ESC ( U; 0: none defined
    std::vector<int64_t> tabs;         // from the left margin, ascending
    std::vector<int64_t> verticalTabs; // from the top of the form, ascending

    // Characters.
    Pitch pitch = Pitch::Pica;
    bool condensed = false;
    bool proportional = false;
    bool doubleWidth = false;
    bool lineDoubleWidth = false; // SO: until the end of the line
    bool doubleHeight = false;
    bool emphasized = false;
    bool doubleStrike = false;
    bool italic = false;
    bool underline = false;
    bool strikeThrough = false;
    int script = 0; // 1 superscript, -1 subscript
    int international = 0;
    CharTable table = CharTable::Graphics;
    int msb = -1; // ESC = / ESC >: the top bit of every character forced to 0 or 1; -1: as sent
    ReaderMode reader;

    // The advance of one character: pitch or motion index, double width, extra space.
    int64_t charAdvance() const;
    int64_t charWidth() const; // without the extra space
    int64_t columnWidth() const; // one column of the pitch, for margins and tabs
};

} // namespace quillon::epson
