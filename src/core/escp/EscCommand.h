#pragma once
// The print-stream tokenizer: splits the unconsumed stream bytes into a run of text, at most one
// recognised control sequence, and the rest.

#include <array>
#include <bitset>
#include <cstdint>
#include <string_view>

namespace quillon {

namespace esc {

// The command codes that the tokenizer hands to the executor.
enum Code : uint8_t {
    None = 0,             // no command taken
    NoEffect = 1,         // consumed without effect (ESC x, the job markers ESC X)
    Reset = 2,            // ESC @
    LineSpacing6 = 3,     // ESC 2: 6 lines per inch
    LineSpacing12 = 4,    // ESC 3 DC2: 12 lines per inch
    LineSpacing8 = 5,     // ESC 0: 8 lines per inch
    BackSpace = 6,        // BS
    CarriageReturn = 7,   // CR
    LineFeed = 8,         // LF, without carriage return
    NewLine = 9,          // CR LF
    FormFeed = 10,        // FF: ends the page
    DoubleWidthOn = 11,   // ESC W 1
    DoubleWidthOff = 12,  // ESC W 0
    LeftMargin = 13,      // ESC l n: n columns
    SetPitch12 = 14,      // ESC M
    SetPitch10 = 15,      // ESC P
    BoldOnShadowed = 16,  // a second ESC E row, never matched
    BoldOffShadowed = 17, // a second ESC F row, never matched
    SetPitch17 = 18,      // SI
    SetPitch10Dc2 = 19,   // DC2
    DoubleStrikeOn = 20,  // ESC G, drawn as bold
    DoubleStrikeOff = 21, // ESC H
    SetPitch20 = 22,      // ESC M SI
    SetPitch10Long = 23,  // DC2 ESC P
    DoubleStrikeOnShadowed = 24,  // a second ESC G row, never matched
    DoubleStrikeOffShadowed = 25, // a second ESC H row, never matched
    SuperscriptOn = 26,   // ESC S NUL, ESC S 0
    ScriptOff = 27,       // ESC T
    SubscriptOn = 28,     // ESC S 1
    EmphasizedOn = 29,    // ESC E, drawn as bold
    EmphasizedOff = 30,   // ESC F
};

} // namespace esc

// One recognised control sequence: the bytes, the command code for the executor (esc::None: no
// command taken), the number of parameter bytes that follow it in the stream, and the parameters.
struct TEscCommand {
    uint8_t length = 0; // of the sequence, 0..6
    std::array<uint8_t, 6> bytes{};
    esc::Code code = esc::None;
    uint8_t paramCount = 0;
    uint8_t param1 = 0;
    uint8_t param2 = 0;

    std::string_view sequence() const
    {
        return {reinterpret_cast<const char*>(bytes.data()), length};
    }
};

// The bytes that start a control sequence: BS, LF, FF, CR, SI, DC2 and ESC. Every other byte is text.
extern const std::bitset<256> ControlBytes;

constexpr int kEscTableRows = 41;
// The recognised sequences, searched in order: three-byte rows first, then two-byte, then one-byte.
extern const std::array<TEscCommand, kEscTableRows> EscTable;

// Splits the front off data. text and rest are views into data. atEnd: no bytes will follow data,
// so a sequence cut at its end is not waited for.
void SplitPrintStream(std::string_view data, bool atEnd, std::string_view& text,
                      TEscCommand& command, std::string_view& rest);

} // namespace quillon
