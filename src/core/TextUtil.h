#pragma once
// Small text helpers for UTF-8 strings.

#include <string>
#include <string_view>

namespace quillon {

// The first n characters (code points) of a UTF-8 string.
std::string utf8Left(std::string_view text, size_t n);

// UTF-8 to UTF-16; a byte that is not valid UTF-8 is taken as Latin-1.
std::u16string utf8ToUtf16(std::string_view text);

// Without leading and trailing blanks (bytes up to the space).
std::string_view trimmed(std::string_view text);

} // namespace quillon
