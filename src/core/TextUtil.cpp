#include "TextUtil.h"

#include <cctype>
#include <charconv>

namespace quillon {

namespace {

// Length of the valid UTF-8 sequence starting at i, or 0 when it is not valid.
size_t sequenceLength(std::string_view s, size_t i, char32_t& cp)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000}; // shorter forms are not UTF-8
    if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string utf8Left(std::string_view text, size_t n)
{
    size_t i = 0;
    for (size_t count = 0; i < text.size() && count < n; ++count) {
        char32_t cp;
        size_t len = sequenceLength(text, i, cp);
        i += len ? len : 1;
    }
    return std::string(text.substr(0, i));
}

std::string validUtf8(std::string_view text, DosCodePage page)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = sequenceLength(text, i, cp);
        if (len) {
            out.append(text.substr(i, len));
            i += len;
            continue;
        }
        const char16_t c = dosToUnicode(page, static_cast<uint8_t>(text[i++]));
        const bool usable = c >= 0x80 && (c < 0xD800 || c > 0xDFFF);
        const char32_t u = usable ? c : 0xFFFD; // replacement character
        if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
        }
        out += char(0x80 | (u & 0x3F));
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = sequenceLength(text, i, cp);
        if (len == 0) {
            cp = static_cast<unsigned char>(text[i]);
            len = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += len;
    }
    return out;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

bool parseWholeNumber(std::string_view text, int low, int high, int& value)
{
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

std::string folderOfPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOfPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace quillon
