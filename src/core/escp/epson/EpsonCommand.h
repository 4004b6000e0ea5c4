#pragma once
// The ESC/P command reader: splits the front off the unconsumed stream bytes, either a run of
// text or one whole control code or command with every parameter and data byte it takes, so
// that no parameter or graphics byte is ever taken for text.

#include "escp/epson/EpsonModel.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon::epson {

enum class TokenKind : uint8_t {
    NeedMore, // the front is a command cut off by the end of data: read more first
    Text,     // bytes to print
    Control,  // one control code (code)
    Command,  // ESC code, with params and data
    Marker,   // a job marker ESC X 1/0/A..G: consumed, no effect
    Unknown,  // ESC code that the family does not know: dropped with its code byte
    Cut,      // a command cut off by the end of the stream: dropped
};

struct Token {
    TokenKind kind = TokenKind::NeedMore;
    uint8_t code = 0;          // the control byte, or the byte after ESC
    std::string_view params;   // fixed parameters (ESC ( x: its data; ESC * m nL nH: m nL nH)
    std::string_view data;     // graphics data, tab values, user characters
    size_t length = 0;         // bytes consumed
};

struct ReaderMode {
    bool upperControls = false; // 0x80-0x9F are control codes (the italic table without ESC 6)
    std::array<uint8_t, 4> bitImageModes{0, 1, 2, 3}; // the modes of ESC K, L, Y and Z (ESC ?)
};

// The bytes a column of ESC * m takes; for a mode the family lacks, by the range m lies in.
int bitImageBytesPerColumn(const EpsonModel& model, int m);

// Splits the front off data. atEnd: no bytes follow data, so a command cut at its end is taken
// with what there is (its data is then dropped: a Command whose data is short is never returned).
// offset: where data starts in the stream; the job markers live in its first 16 bytes.
Token readToken(std::string_view data, bool atEnd, const EpsonModel& model, ReaderMode mode,
                uint64_t offset);

// True for a byte that starts a control code in the given mode.
bool isControl(uint8_t byte, ReaderMode mode);

} // namespace quillon::epson
