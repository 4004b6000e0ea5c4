#pragma once
// Spool streams of the Epson emulations for the benchmarks: pages of text with attributes as a
// 24-pin printer's driver sends them, and pages full of 24-dot graphics bands (ESC * 39).

#include "SpoolGenerator.h"

#include <string_view>

namespace quillon::bench {

// Pages of 60 lines of 80 columns: bold and underlined headings, italics, condensed and double
// width runs, tabs, CP852 text, each page ended by a form feed.
SpoolStream epsonTextStream(int pageCount);

// Pages of 85 bands of ESC * 39 (180 dpi, 24 dots a column, 1440 columns: 8 by 11.3 inches),
// bands fed by 24/180 inch so that they meet: a dithered picture (photo-like) or line art (frames,
// rules and blocks, as forms and logos).
enum class DotContent { Dither, LineArt };
SpoolStream epsonGraphicsStream(int pageCount, DotContent content);

// The 1-bit picture of one page of epsonGraphicsStream, rows of 1440 dots, for sizing it against
// the PDF.
std::string epsonGraphicsPageBits(DotContent content);

} // namespace quillon::bench
