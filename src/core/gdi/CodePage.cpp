#include "CodePage.h"

#include <array>

namespace quillon {

namespace {

using UpperHalf = std::array<char16_t, 128>;

// Bytes 0x80-0xFF of each page; CP852, CP437 and CP850 as glibc iconv decodes them.

constexpr UpperHalf kCp852 = {
    u'\x00C7', u'\x00FC', u'\x00E9', u'\x00E2', u'\x00E4', u'\x016F', u'\x0107', u'\x00E7', // 80
    u'\x0142', u'\x00EB', u'\x0150', u'\x0151', u'\x00EE', u'\x0179', u'\x00C4', u'\x0106', // 88
    u'\x00C9', u'\x0139', u'\x013A', u'\x00F4', u'\x00F6', u'\x013D', u'\x013E', u'\x015A', // 90
    u'\x015B', u'\x00D6', u'\x00DC', u'\x0164', u'\x0165', u'\x0141', u'\x00D7', u'\x010D', // 98
    u'\x00E1', u'\x00ED', u'\x00F3', u'\x00FA', u'\x0104', u'\x0105', u'\x017D', u'\x017E', // A0
    u'\x0118', u'\x0119', u'\x00AC', u'\x017A', u'\x010C', u'\x015F', u'\x00AB', u'\x00BB', // A8
    u'\x2591', u'\x2592', u'\x2593', u'\x2502', u'\x2524', u'\x00C1', u'\x00C2', u'\x011A', // B0
    u'\x015E', u'\x2563', u'\x2551', u'\x2557', u'\x255D', u'\x017B', u'\x017C', u'\x2510', // B8
    u'\x2514', u'\x2534', u'\x252C', u'\x251C', u'\x2500', u'\x253C', u'\x0102', u'\x0103', // C0
    u'\x255A', u'\x2554', u'\x2569', u'\x2566', u'\x2560', u'\x2550', u'\x256C', u'\x00A4', // C8
    u'\x0111', u'\x0110', u'\x010E', u'\x00CB', u'\x010F', u'\x0147', u'\x00CD', u'\x00CE', // D0
    u'\x011B', u'\x2518', u'\x250C', u'\x2588', u'\x2584', u'\x0162', u'\x016E', u'\x2580', // D8
    u'\x00D3', u'\x00DF', u'\x00D4', u'\x0143', u'\x0144', u'\x0148', u'\x0160', u'\x0161', // E0
    u'\x0154', u'\x00DA', u'\x0155', u'\x0170', u'\x00FD', u'\x00DD', u'\x0163', u'\x00B4', // E8
    u'\x00AD', u'\x02DD', u'\x02DB', u'\x02C7', u'\x02D8', u'\x00A7', u'\x00F7', u'\x00B8', // F0
    u'\x00B0', u'\x00A8', u'\x02D9', u'\x0171', u'\x0158', u'\x0159', u'\x25A0', u'\x00A0', // F8
};

constexpr UpperHalf kCp437 = {
    u'\x00C7', u'\x00FC', u'\x00E9', u'\x00E2', u'\x00E4', u'\x00E0', u'\x00E5', u'\x00E7', // 80
    u'\x00EA', u'\x00EB', u'\x00E8', u'\x00EF', u'\x00EE', u'\x00EC', u'\x00C4', u'\x00C5', // 88
    u'\x00C9', u'\x00E6', u'\x00C6', u'\x00F4', u'\x00F6', u'\x00F2', u'\x00FB', u'\x00F9', // 90
    u'\x00FF', u'\x00D6', u'\x00DC', u'\x00A2', u'\x00A3', u'\x00A5', u'\x20A7', u'\x0192', // 98
    u'\x00E1', u'\x00ED', u'\x00F3', u'\x00FA', u'\x00F1', u'\x00D1', u'\x00AA', u'\x00BA', // A0
    u'\x00BF', u'\x2310', u'\x00AC', u'\x00BD', u'\x00BC', u'\x00A1', u'\x00AB', u'\x00BB', // A8
    u'\x2591', u'\x2592', u'\x2593', u'\x2502', u'\x2524', u'\x2561', u'\x2562', u'\x2556', // B0
    u'\x2555', u'\x2563', u'\x2551', u'\x2557', u'\x255D', u'\x255C', u'\x255B', u'\x2510', // B8
    u'\x2514', u'\x2534', u'\x252C', u'\x251C', u'\x2500', u'\x253C', u'\x255E', u'\x255F', // C0
    u'\x255A', u'\x2554', u'\x2569', u'\x2566', u'\x2560', u'\x2550', u'\x256C', u'\x2567', // C8
    u'\x2568', u'\x2564', u'\x2565', u'\x2559', u'\x2558', u'\x2552', u'\x2553', u'\x256B', // D0
    u'\x256A', u'\x2518', u'\x250C', u'\x2588', u'\x2584', u'\x258C', u'\x2590', u'\x2580', // D8
    u'\x03B1', u'\x00DF', u'\x0393', u'\x03C0', u'\x03A3', u'\x03C3', u'\x00B5', u'\x03C4', // E0
    u'\x03A6', u'\x0398', u'\x03A9', u'\x03B4', u'\x221E', u'\x03C6', u'\x03B5', u'\x2229', // E8
    u'\x2261', u'\x00B1', u'\x2265', u'\x2264', u'\x2320', u'\x2321', u'\x00F7', u'\x2248', // F0
    u'\x00B0', u'\x2219', u'\x00B7', u'\x221A', u'\x207F', u'\x00B2', u'\x25A0', u'\x00A0', // F8
};

// Mazovia is CP437 with the Polish letters put over some of the accented Latin letters
// and currency signs: 86 ą, 8D ć, 8F Ą, 90 Ę, 91 ę, 92 ł, 95 Ć, 98 Ś, 9C Ł, 9E ś,
// A0 Ź, A1 Ż, A3 Ó, A4 ń, A5 Ń, A6 ź, A7 ż; A2 is ó already.
constexpr UpperHalf kMazovia = {
    u'\x00C7', u'\x00FC', u'\x00E9', u'\x00E2', u'\x00E4', u'\x00E0', u'\x0105', u'\x00E7', // 80
    u'\x00EA', u'\x00EB', u'\x00E8', u'\x00EF', u'\x00EE', u'\x0107', u'\x00C4', u'\x0104', // 88
    u'\x0118', u'\x0119', u'\x0142', u'\x00F4', u'\x00F6', u'\x0106', u'\x00FB', u'\x00F9', // 90
    u'\x015A', u'\x00D6', u'\x00DC', u'\x00A2', u'\x0141', u'\x00A5', u'\x015B', u'\x0192', // 98
    u'\x0179', u'\x017B', u'\x00F3', u'\x00D3', u'\x0144', u'\x0143', u'\x017A', u'\x017C', // A0
    u'\x00BF', u'\x2310', u'\x00AC', u'\x00BD', u'\x00BC', u'\x00A1', u'\x00AB', u'\x00BB', // A8
    u'\x2591', u'\x2592', u'\x2593', u'\x2502', u'\x2524', u'\x2561', u'\x2562', u'\x2556', // B0
    u'\x2555', u'\x2563', u'\x2551', u'\x2557', u'\x255D', u'\x255C', u'\x255B', u'\x2510', // B8
    u'\x2514', u'\x2534', u'\x252C', u'\x251C', u'\x2500', u'\x253C', u'\x255E', u'\x255F', // C0
    u'\x255A', u'\x2554', u'\x2569', u'\x2566', u'\x2560', u'\x2550', u'\x256C', u'\x2567', // C8
    u'\x2568', u'\x2564', u'\x2565', u'\x2559', u'\x2558', u'\x2552', u'\x2553', u'\x256B', // D0
    u'\x256A', u'\x2518', u'\x250C', u'\x2588', u'\x2584', u'\x258C', u'\x2590', u'\x2580', // D8
    u'\x03B1', u'\x00DF', u'\x0393', u'\x03C0', u'\x03A3', u'\x03C3', u'\x00B5', u'\x03C4', // E0
    u'\x03A6', u'\x0398', u'\x03A9', u'\x03B4', u'\x221E', u'\x03C6', u'\x03B5', u'\x2229', // E8
    u'\x2261', u'\x00B1', u'\x2265', u'\x2264', u'\x2320', u'\x2321', u'\x00F7', u'\x2248', // F0
    u'\x00B0', u'\x2219', u'\x00B7', u'\x221A', u'\x207F', u'\x00B2', u'\x25A0', u'\x00A0', // F8
};

// CP850, the Western European DOS page: CP437's Greek letters, maths signs and most of the
// single-and-double box joints give way to accented capitals; the plain single and double lines
// and corners stay where CP437 has them.
constexpr UpperHalf kCp850 = {
    u'\x00C7', u'\x00FC', u'\x00E9', u'\x00E2', u'\x00E4', u'\x00E0', u'\x00E5', u'\x00E7', // 80
    u'\x00EA', u'\x00EB', u'\x00E8', u'\x00EF', u'\x00EE', u'\x00EC', u'\x00C4', u'\x00C5', // 88
    u'\x00C9', u'\x00E6', u'\x00C6', u'\x00F4', u'\x00F6', u'\x00F2', u'\x00FB', u'\x00F9', // 90
    u'\x00FF', u'\x00D6', u'\x00DC', u'\x00F8', u'\x00A3', u'\x00D8', u'\x00D7', u'\x0192', // 98
    u'\x00E1', u'\x00ED', u'\x00F3', u'\x00FA', u'\x00F1', u'\x00D1', u'\x00AA', u'\x00BA', // A0
    u'\x00BF', u'\x00AE', u'\x00AC', u'\x00BD', u'\x00BC', u'\x00A1', u'\x00AB', u'\x00BB', // A8
    u'\x2591', u'\x2592', u'\x2593', u'\x2502', u'\x2524', u'\x00C1', u'\x00C2', u'\x00C0', // B0
    u'\x00A9', u'\x2563', u'\x2551', u'\x2557', u'\x255D', u'\x00A2', u'\x00A5', u'\x2510', // B8
    u'\x2514', u'\x2534', u'\x252C', u'\x251C', u'\x2500', u'\x253C', u'\x00E3', u'\x00C3', // C0
    u'\x255A', u'\x2554', u'\x2569', u'\x2566', u'\x2560', u'\x2550', u'\x256C', u'\x00A4', // C8
    u'\x00F0', u'\x00D0', u'\x00CA', u'\x00CB', u'\x00C8', u'\x0131', u'\x00CD', u'\x00CE', // D0
    u'\x00CF', u'\x2518', u'\x250C', u'\x2588', u'\x2584', u'\x00A6', u'\x00CC', u'\x2580', // D8
    u'\x00D3', u'\x00DF', u'\x00D4', u'\x00D2', u'\x00F5', u'\x00D5', u'\x00B5', u'\x00FE', // E0
    u'\x00DE', u'\x00DA', u'\x00DB', u'\x00D9', u'\x00FD', u'\x00DD', u'\x00AF', u'\x00B4', // E8
    u'\x00AD', u'\x00B1', u'\x2017', u'\x00BE', u'\x00B6', u'\x00A7', u'\x00F7', u'\x00B8', // F0
    u'\x00B0', u'\x00A8', u'\x00B7', u'\x00B9', u'\x00B3', u'\x00B2', u'\x25A0', u'\x00A0', // F8
};

// Kamenický (KEYBCS2), the Czech and Slovak DOS page: CP437 with the Czech and Slovak letters
// put over the accented Latin letters and currency signs at 80-AB, each in the place of a letter
// that looks like it (Č over Ç); AD is the section sign. Box drawing and everything from B0 on is
// CP437's. Some converters keep CP437's inverted exclamation mark at AD.
constexpr UpperHalf kKamenicky = [] {
    constexpr char16_t letters[] = {
        u'\x010C', u'\x00FC', u'\x00E9', u'\x010F', u'\x00E4', u'\x010E', u'\x0164', u'\x010D', // 80
        u'\x011B', u'\x011A', u'\x0139', u'\x00CD', u'\x013E', u'\x013A', u'\x00C4', u'\x00C1', // 88
        u'\x00C9', u'\x017E', u'\x017D', u'\x00F4', u'\x00F6', u'\x00D3', u'\x016F', u'\x00DA', // 90
        u'\x00FD', u'\x00D6', u'\x00DC', u'\x0160', u'\x013D', u'\x00DD', u'\x0158', u'\x0165', // 98
        u'\x00E1', u'\x00ED', u'\x00F3', u'\x00FA', u'\x0148', u'\x0147', u'\x016E', u'\x00D4', // A0
        u'\x0161', u'\x0159', u'\x0155', u'\x0154', u'\x00BC', u'\x00A7',                       // A8
    };
    UpperHalf table = kCp437;
    for (size_t i = 0; i < std::size(letters); ++i)
        table[i] = letters[i];
    return table;
}();

const UpperHalf &upperHalf(DosCodePage page)
{
    switch (page) {
    case DosCodePage::Cp437:
        return kCp437;
    case DosCodePage::Mazovia:
        return kMazovia;
    case DosCodePage::Cp850:
        return kCp850;
    case DosCodePage::Kamenicky:
        return kKamenicky;
    case DosCodePage::Cp852:
        break;
    }
    return kCp852;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace

char16_t dosToUnicode(DosCodePage page, uint8_t byte)
{
    if (byte < 0x80)
        return char16_t(byte);
    return upperHalf(page)[byte - 0x80];
}

std::u16string dosToUnicode(DosCodePage page, std::string_view bytes)
{
    const UpperHalf &table = upperHalf(page);
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        text.push_back(byte < 0x80 ? char16_t(byte) : table[byte - 0x80]);
    }
    return text;
}

std::string unicodeToDos(DosCodePage page, std::u16string_view text, char replacement)
{
    const UpperHalf& table = upperHalf(page);
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text) {
        char byte = replacement;
        if (c < 0x80) {
            byte = char(c);
        } else {
            for (size_t i = 0; i < table.size(); ++i)
                if (table[i] == c) {
                    byte = char(0x80 + i);
                    break;
                }
        }
        bytes.push_back(byte);
    }
    return bytes;
}

std::optional<DosCodePage> codePageFromName(std::string_view name)
{
    if (equalsIgnoringCase(name, "852") || equalsIgnoringCase(name, "cp852"))
        return DosCodePage::Cp852;
    if (equalsIgnoringCase(name, "437") || equalsIgnoringCase(name, "cp437"))
        return DosCodePage::Cp437;
    if (equalsIgnoringCase(name, "850") || equalsIgnoringCase(name, "cp850"))
        return DosCodePage::Cp850;
    if (equalsIgnoringCase(name, "mazovia"))
        return DosCodePage::Mazovia;
    if (equalsIgnoringCase(name, "kamenicky") || equalsIgnoringCase(name, "keybcs2"))
        return DosCodePage::Kamenicky;
    return std::nullopt;
}

} // namespace quillon
