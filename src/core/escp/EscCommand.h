#pragma once
// The print-stream tokenizer: splits the unconsumed stream bytes into a run of text, at most one
// recognised control sequence, and the rest.

#include <array>
#include <bitset>
#include <cstdint>
#include <string_view>

namespace quillon {

// One recognised control sequence: the bytes, the command code for the executor (0: no command
// taken), the number of parameter bytes that follow it in the stream, and the parameters.
struct TEscCommand {
    uint8_t length = 0; // of the sequence, 0..6
    std::array<uint8_t, 6> bytes{};
    uint8_t code = 0;
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
