#include "EscCommand.h"

#include <span>
#include <vector>

namespace quillon {

namespace {

constexpr TEscCommand row(std::initializer_list<uint8_t> seq, esc::Code code, uint8_t params = 0)
{
    TEscCommand c;
    for (uint8_t b : seq)
        c.bytes[c.length++] = b;
    c.code = code;
    c.paramCount = params;
    return c;
}

constexpr uint8_t ESC = 0x1B, CR = 0x0D, LF = 0x0A, FF = 0x0C, BS = 0x08, SI = 0x0F, DC2 = 0x12;
constexpr std::array<uint8_t, 7> kControlByteList = {BS, LF, FF, CR, SI, DC2, ESC};

std::bitset<256> makeControlBytes()
{
    std::bitset<256> set;
    for (uint8_t b : kControlByteList)
        set.set(b);
    return set;
}

// The same set as a table of flags: the text scan looks up every byte of the stream in it.
constexpr std::array<bool, 256> kIsControlByte = [] {
    std::array<bool, 256> table{};
    for (uint8_t b : kControlByteList)
        table[b] = true;
    return table;
}();

// For each control byte, the rows that start with it, in table order: the first match among
// them is the first match in the whole table. And for each control byte and the byte after it, the
// rows that can match a stream going on with those two: the one-byte rows and the rows whose second
// byte it is, in table order again.
struct RowsByFirstByte {
    std::array<std::array<uint8_t, kEscTableRows>, 256> rows{};
    std::array<uint8_t, 256> count{};
    std::array<uint8_t, 256> slot{}; // of each control byte in byTwo, from 1; 0 for other bytes
    std::vector<std::array<std::vector<uint8_t>, 256>> byTwo;
};

// The longest sequence plus its parameter fits in this many bytes.
constexpr size_t kLookAhead = 6;

} // namespace

const std::bitset<256> ControlBytes = makeControlBytes();

const std::array<TEscCommand, kEscTableRows> EscTable = {{
    row({ESC, 'M', SI}, esc::SetPitch20),  // 20 cpi
    row({DC2, ESC, 'P'}, esc::SetPitch10Long), // 10 cpi
    row({ESC, '3', DC2}, esc::LineSpacing12),  // 12 lines per inch
    row({ESC, 'S', 0x00}, esc::SuperscriptOn),
    row({ESC, 'S', '0'}, esc::SuperscriptOn),
    row({ESC, 'S', '1'}, esc::SubscriptOn),
    row({ESC, 'W', '1'}, esc::DoubleWidthOn),
    row({ESC, 'W', '0'}, esc::DoubleWidthOff),
    row({ESC, 'x', '0'}, esc::NoEffect),
    row({ESC, 'x', '1'}, esc::NoEffect),
    row({ESC, 'X', '1'}, esc::NoEffect), // job markers: read by the job runner, no effect here
    row({ESC, 'X', '0'}, esc::NoEffect),
    row({ESC, 'X', 'A'}, esc::NoEffect),
    row({ESC, 'X', 'B'}, esc::NoEffect),
    row({ESC, 'X', 'C'}, esc::NoEffect),
    row({ESC, 'X', 'D'}, esc::NoEffect),
    row({ESC, 'X', 'E'}, esc::NoEffect),
    row({ESC, 'X', 'F'}, esc::NoEffect),
    row({ESC, 'X', 'G'}, esc::NoEffect),
    row({ESC, '@'}, esc::Reset),
    row({CR, LF}, esc::NewLine),
    row({ESC, 'E'}, esc::EmphasizedOn),
    row({ESC, 'F'}, esc::EmphasizedOff),
    row({ESC, 'M'}, esc::SetPitch12),
    row({ESC, 'P'}, esc::SetPitch10),
    row({ESC, 'E'}, esc::BoldOnShadowed), // shadowed by the earlier ESC E row
    row({ESC, 'F'}, esc::BoldOffShadowed), // shadowed
    row({ESC, 'G'}, esc::DoubleStrikeOn),
    row({ESC, 'H'}, esc::DoubleStrikeOff),
    row({ESC, 'G'}, esc::DoubleStrikeOnShadowed), // shadowed
    row({ESC, 'H'}, esc::DoubleStrikeOffShadowed), // shadowed
    row({ESC, '2'}, esc::LineSpacing6),
    row({ESC, '0'}, esc::LineSpacing8),
    row({ESC, 'T'}, esc::ScriptOff),
    row({ESC, 'l'}, esc::LeftMargin, 1),
    row({FF}, esc::FormFeed),
    row({BS}, esc::BackSpace),
    row({CR}, esc::CarriageReturn),
    row({LF}, esc::LineFeed),
    row({SI}, esc::SetPitch17),
    row({DC2}, esc::SetPitch10Dc2),
}};

namespace {

const RowsByFirstByte& rowsByFirstByte()
{
    static const RowsByFirstByte table = [] {
        RowsByFirstByte t;
        for (size_t i = 0; i < EscTable.size(); ++i) {
            uint8_t first = EscTable[i].bytes[0];
            t.rows[first][t.count[first]++] = uint8_t(i);
            if (t.slot[first] == 0) {
                t.byTwo.emplace_back();
                t.slot[first] = uint8_t(t.byTwo.size());
            }
            for (int second = 0; second < 256; ++second) {
                if (EscTable[i].length == 1 || EscTable[i].bytes[1] == second)
                    t.byTwo[t.slot[first] - 1][size_t(second)].push_back(uint8_t(i));
            }
        }
        return t;
    }();
    return table;
}

// Whether the stream continues with the row's bytes; a few bytes, compared here rather than by a
// call for each row.
bool startsWith(std::string_view tail, const TEscCommand& row)
{
    if (tail.size() < row.length)
        return false;
    for (size_t i = 0; i < row.length; ++i) {
        if (uint8_t(tail[i]) != uint8_t(row.bytes[i]))
            return false;
    }
    return true;
}

} // namespace

void SplitPrintStream(std::string_view data, bool atEnd, std::string_view& text,
                      TEscCommand& command, std::string_view& rest)
{
    size_t p = 0;
    while (p < data.size() && !kIsControlByte[uint8_t(data[p])])
        ++p;

    if (p == data.size()) {
        text = data;
        command.length = 0;
        command.code = esc::None;
        rest = {};
        return;
    }

    text = data.substr(0, p);
    std::string_view tail = data.substr(p);
    if (tail.size() < kLookAhead && !atEnd) {
        // Wait for the next read: the sequence may continue beyond this chunk.
        command.code = esc::None;
        rest = tail;
        return;
    }

    const RowsByFirstByte& index = rowsByFirstByte();
    const uint8_t first = uint8_t(tail[0]);
    std::span<const uint8_t> candidates(index.rows[first].data(), index.count[first]);
    if (tail.size() >= 2 && index.slot[first] != 0)
        candidates = index.byTwo[index.slot[first] - 1][uint8_t(tail[1])];
    for (uint8_t k : candidates) {
        const TEscCommand& r = EscTable[k];
        if (!startsWith(tail, r))
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
    command.code = esc::None;
    rest = tail.substr(1);
}

} // namespace quillon
