#pragma once
// The international character sets of ESC R n: each replaces the same twelve ASCII positions.

#include <cstdint>

namespace quillon::epson {

// The character that byte prints as in set n, as a UTF-16 unit; 0 where the set leaves the byte
// as it is (the USA set, bytes outside the twelve positions, sets that do not exist).
char16_t internationalCharacter(int set, uint8_t byte);

// Whether n names a set (ESC R n with any other n is ignored).
bool isInternationalSet(int n);

} // namespace quillon::epson
