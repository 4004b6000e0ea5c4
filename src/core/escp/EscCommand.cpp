#include "EscCommand.h"

#include <cstring>

namespace quillon {

namespace {

constexpr TEscCommand row(std::initializer_list<uint8_t> seq, uint8_t code, uint8_t params = 0)
{
    TEscCommand c;
    for (uint8_t b : seq)
        c.bytes[c.length++] = b;
    c.code = code;
    c.paramCount = params;
    return c;
}

constexpr uint8_t ESC = 0x1B, CR = 0x0D, LF = 0x0A, FF = 0x0C, BS = 0x08, SI = 0x0F, DC2 = 0x12;

std::bitset<256> makeControlBytes()
{
    std::bitset<256> set;
    for (uint8_t b : {BS, LF, FF, CR, SI, DC2, ESC})
        set.set(b);
    return set;
}

// For each control byte, the rows that start with it, in table order: the first match among
// them is the first match in the whole table.
struct RowsByFirstByte {
    std::array<std::array<uint8_t, kEscTableRows>, 256> rows{};
    std::array<uint8_t, 256> count{};
};

// The longest sequence plus its parameter fits in this many bytes.
constexpr size_t kLookAhead = 6;

} // namespace

const std::bitset<256> ControlBytes = makeControlBytes();

const std::array<TEscCommand, kEscTableRows> EscTable = {{
    row({ESC, 'M', SI}, 22),  // 20 cpi
    row({DC2, ESC, 'P'}, 23), // 10 cpi
    row({ESC, '3', DC2}, 4),  // 12 lines per inch
    row({ESC, 'S', 0x00}, 26),
    row({ESC, 'S', '0'}, 26),
    row({ESC, 'S', '1'}, 28),
    row({ESC, 'W', '1'}, 11),
    row({ESC, 'W', '0'}, 12),
    row({ESC, 'x', '0'}, 1),
    row({ESC, 'x', '1'}, 1),
    row({ESC, 'X', '1'}, 1), // job markers: read by the job runner, no effect here
    row({ESC, 'X', '0'}, 1),
    row({ESC, 'X', 'A'}, 1),
    row({ESC, 'X', 'B'}, 1),
    row({ESC, 'X', 'C'}, 1),
    row({ESC, 'X', 'D'}, 1),
    row({ESC, 'X', 'E'}, 1),
    row({ESC, 'X', 'F'}, 1),
    row({ESC, 'X', 'G'}, 1),
    row({ESC, '@'}, 2),
    row({CR, LF}, 9),
    row({ESC, 'E'}, 29),
    row({ESC, 'F'}, 30),
    row({ESC, 'M'}, 14),
    row({ESC, 'P'}, 15),
    row({ESC, 'E'}, 16), // shadowed by the earlier ESC E row
    row({ESC, 'F'}, 17), // shadowed
    row({ESC, 'G'}, 20),
    row({ESC, 'H'}, 21),
    row({ESC, 'G'}, 24), // shadowed
    row({ESC, 'H'}, 25), // shadowed
    row({ESC, '2'}, 3),
    row({ESC, '0'}, 5),
    row({ESC, 'T'}, 27),
    row({ESC, 'l'}, 13, 1),
    row({FF}, 10),
    row({BS}, 6),
    row({CR}, 7),
    row({LF}, 8),
    row({SI}, 18),
    row({DC2}, 19),
}};

namespace {

const RowsByFirstByte& rowsByFirstByte()
{
    static const RowsByFirstByte table = [] {
        RowsByFirstByte t;
        for (size_t i = 0; i < EscTable.size(); ++i) {
            uint8_t first = EscTable[i].bytes[0];
            t.rows[first][t.count[first]++] = uint8_t(i);
        }
        return t;
    }();
    return table;
}

} // namespace

void SplitPrintStream(std::string_view data, bool atEnd, std::string_view& text,
                      TEscCommand& command, std::string_view& rest)
{
    size_t p = 0;
    while (p < data.size() && !ControlBytes.test(uint8_t(data[p])))
        ++p;

    if (p == data.size()) {
        text = data;
        command.length = 0;
        command.code = 0;
        rest = {};
        return;
    }

    text = data.substr(0, p);
    std::string_view tail = data.substr(p);
    if (tail.size() < kLookAhead && !atEnd) {
        // Wait for the next read: the sequence may continue beyond this chunk.
        command.code = 0;
        rest = tail;
        return;
    }

    const RowsByFirstByte& index = rowsByFirstByte();
    const uint8_t first = uint8_t(tail[0]);
    for (uint8_t k = 0; k < index.count[first]; ++k) {
        const TEscCommand& r = EscTable[index.rows[first][k]];
        if (tail.size() < r.length || std::memcmp(tail.data(), r.bytes.data(), r.length) != 0)
            continue;
        command.code = r.code;
        size_t consumed = r.length;
        // A parameter missing at the very end of the stream is taken as 0 and the sequence is
        // consumed; nothing beyond the data is read.
        if (r.paramCount >= 1) {
            command.param1 = consumed < tail.size() ? uint8_t(tail[consumed]) : 0;
            ++consumed;
        }
        if (r.paramCount >= 2) {
            command.param2 = consumed < tail.size() ? uint8_t(tail[consumed]) : 0;
            ++consumed;
        }
        rest = consumed < tail.size() ? tail.substr(consumed) : std::string_view{};
        return;
    }

    // Not a sequence the printer knows: only the control byte itself is dropped.
    command.code = 0;
    rest = tail.substr(1);
}

} // namespace quillon
