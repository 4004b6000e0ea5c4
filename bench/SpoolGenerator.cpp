#include "SpoolGenerator.h"

#include <algorithm>
#include <cstring>

namespace quillon::bench {

// ---------------------------------------------------------------------------------------------
// The spool stream

SpoolStream SpoolGenerator::generate(int pageCount)
{
    SpoolStream s;
    m_out = &s.bytes;
    m_textPos = 0;
    s.bytes.reserve(size_t(pageCount) * 6400 + 16);
    s.pages.resize(size_t(pageCount));
    // Reset, then 8 lines per inch: 66 lines take 66 × 3.18 mm, well inside an A4 page.
    control("\x1b@\x1b"
            "0");
    long line = 0;
    for (int p = 0; p < pageCount; ++p) {
        m_page = &s.pages[size_t(p)];
        for (int i = 0; i < kLinesPerPage; ++i, ++line)
            writeLine(line);
        control("\f");
    }
    m_out = nullptr;
    m_page = nullptr;
    return s;
}

void SpoolGenerator::box(uint8_t b, int count)
{
    for (int i = 0; i < count; ++i) {
        m_out->push_back(char(b));
        hashByte(*m_page, b);
    }
}

// count printable characters of Polish text in CP852.
void SpoolGenerator::text(int count)
{
    static const std::string_view pool =
        "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4 | Faktura VAT nr 2024/117 | "
        "\x97RODEK TRWA\x9DY \x9D\xA2" "d\xAB | Warto\x98\x86 netto 1 234,56 z\x88 | "
        "Sp\xA2\x88ka z o.o. ul. Pi\xA2rkowa 7 | Ilo\x98\x86: 12 szt. | "
        "\xBD" "EGLARSTWO \x8FMA\xA4 | Razem do zap\x88"
        "aty: 9 876,00 z\x88 | ";
    for (int i = 0; i < count; ++i) {
        uint8_t b = uint8_t(pool[m_textPos]);
        m_textPos = (m_textPos + 1) % pool.size();
        m_out->push_back(char(b));
        hashByte(*m_page, b);
    }
}

// One line of exactly kColumns columns (a double-width character takes two) at one of the
// four pitches, ended by CR LF. At 10 cpi the 80 columns take 203.2 mm of the 207 mm between
// the report's left margin and the paper's right edge, so nothing is cut.
void SpoolGenerator::writeLine(long line)
{
    static const std::string_view pitches[4] = {"\x12", "\x1bM", "\x0f", "\x1bM\x0f"};
    control(pitches[line % 4]);
    switch (line % 6) {
    case 0: // plain
        text(80);
        break;
    case 1: // a bold field
        control("\x1b"
                "E");
        text(20);
        control("\x1b"
                "F");
        text(60);
        break;
    case 2: // a double-width title: 10 characters, 20 columns
        control("\x1bW1");
        text(10);
        control("\x1bW0");
        text(60);
        break;
    case 3: // superscript and subscript
        text(30);
        control("\x1bS0");
        text(4);
        control("\x1bT");
        text(10);
        control("\x1bS1");
        text(4);
        control("\x1bT");
        text(32);
        break;
    case 4: // everything in one table row
        box(0xB3, 1);
        text(17);
        control("\x1b"
                "E");
        text(12);
        control("\x1b"
                "F");
        text(6);
        control("\x1bW1");
        text(5);
        control("\x1bW0");
        text(4);
        control(line % 12 < 6 ? "\x1bS0" : "\x1bS1");
        text(6);
        control("\x1bT");
        text(10);
        box(0xC4, 13);
        box(0xB3, 1);
        break;
    default: // a table rule
        box(0xB3, 1);
        box(0xC4, kColumns - 2);
        box(0xB3, 1);
        break;
    }
    control("\r\n");
}

size_t MemoryByteSource::read(char* buffer, size_t size)
{
    size_t n = std::min(size, m_data.size() - m_pos);
    std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

} // namespace quillon::bench
