#pragma once
// DOS code pages: how the bytes of a spool file look as characters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

enum class DosCodePage {
    Cp852,     // Latin-2, Polish DOS: the OEM code page of the program
    Cp437,     // the original IBM PC set
    Mazovia,   // the Polish Mazovia encoding
    Cp850,     // Western European DOS
    Kamenicky, // Czech and Slovak DOS (KEYBCS2)
};

// The character that the code page shows for the byte. Bytes below 0x80 are ASCII (the control
// bytes 0x00-0x1F and 0x7F map to themselves); the upper half comes from the page's table.
char16_t dosToUnicode(DosCodePage page, uint8_t byte);

// The bytes decoded one for one (one UTF-16 unit per byte).
std::u16string dosToUnicode(DosCodePage page, std::string_view bytes);

// Text encoded one for one into the code page: each character becomes its byte, a character the
// page lacks becomes replacement; the result has one byte per UTF-16 unit of text.
std::string unicodeToDos(DosCodePage page, std::u16string_view text, char replacement = '?');

// True for the bytes that take a character cell but show nothing: 0x00-0x1F and 0x7F.
inline bool isInvisibleDosByte(uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

// "852", "437", "850", "mazovia" or "kamenicky", also "cp852", "cp437", "cp850" and "keybcs2"
// (case-insensitive); nothing for any other name.
std::optional<DosCodePage> codePageFromName(std::string_view name);

} // namespace quillon
