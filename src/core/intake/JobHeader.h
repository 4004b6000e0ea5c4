#pragma once
// The job markers in the first bytes of a spool file: ESC X 1 / ESC X 0 choose portrait or
// landscape, ESC X A to ESC X G the font size from 12 down to 6 points.

#include "report/PaperSizes.h"

#include <string>
#include <string_view>

namespace quillon {

constexpr size_t kJobHeaderSize = 16;

// Orientation of a job: the header's marker, else the default ("L" exactly: landscape).
TVxPaperOrient jobOrientation(std::string_view header, const std::string& pageOrient);

// Font size of a job: the first of ESC X A .. ESC X G present in the header, else the default.
int jobFontSize(std::string_view header, int defaultSize);

} // namespace quillon
