#pragma once
// Small text helpers for UTF-8 strings.

#include "gdi/CodePage.h"

#include <string>
#include <string_view>

namespace quillon {

// The first n characters (code points) of a UTF-8 string.
std::string utf8Left(std::string_view text, size_t n);

// Text made valid UTF-8: its valid sequences as they are, every other byte read in the DOS code
// page (a spool file's name as a DOS program wrote it). One character per such byte, so the count
// of characters stays.
std::string validUtf8(std::string_view text, DosCodePage page);

// UTF-8 to UTF-16; a byte that is not valid UTF-8 is taken as Latin-1.
std::u16string utf8ToUtf16(std::string_view text);

// Without leading and trailing blanks (bytes up to the space).
std::string_view trimmed(std::string_view text);

// The whole of text as a decimal number within low..high; false (value untouched) otherwise.
bool parseWholeNumber(std::string_view text, int low, int high, int& value);

// Whether text ends in suffix, ASCII letters in either case (suffix given in lower case).
bool endsWithNoCase(std::string_view text, std::string_view suffix);

// The folder of a path (everything before its last "/"; "/" for the root, "." for none) and its
// last component.
std::string folderOfPath(const std::string& path);
std::string nameOfPath(const std::string& path);

} // namespace quillon
