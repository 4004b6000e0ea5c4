#pragma once
// 1-bit pictures as EMR_STRETCHDIBITS records: a MonoBitmap written as a 1-bit DIB, and the black
// dots of a 1-bit DIB read back from a record of any EMF writer.

#include "ByteIO.h"
#include "DrawingContext.h"
#include "EmfFormat.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillon::emf {

// The size of the record that writeMonoBitmap() writes for bitmap; 0 when the bitmap is not valid
// or too large for one record.
uint64_t monoBitmapRecordSize(const MonoBitmap& bitmap);

// Writes bitmap stretched onto dest (logical units, right and bottom exclusive, not empty) as
// EMR_STRETCHDIBITS with bounds (inclusive, device units): a bottom-up 1-bit DIB with the usual
// monochrome colour table (index 0 black, a dot; 1 white, paper), combined with the page by
// SRCAND, so that the black dots darken the page and the paper leaves what lies beneath. GDI
// combines by colour; LibreOffice (7.4) makes the bitmap its own mask by index, and shows the
// same only with this colour table. The record is monoBitmapRecordSize(bitmap) bytes.
void writeMonoBitmap(ByteWriter& out, const Rect& bounds, const Rect& dest, const MonoBitmap& bitmap);

// Dots read from a record: rows top to bottom, bytesPerRow() bytes each, set bits black.
struct MonoDots {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rows;
    MonoBitmap bitmap() const { return {width, height, rows}; }
};

// The source rectangle of a 1-bit DIB with an RGB colour table in a STRETCHDIBITS record (r read
// from record), as the dots that its raster operation paints black on white paper: a colour index
// whose colour is dark is black under SRCCOPY or SRCAND, a light one under NOTSRCCOPY, and so on.
// mirrorX and mirrorY turn the dots over (the caller's mapping may flip an axis); negative source
// extents turn them over as well. nullopt when the record holds no such DIB or any size or offset
// in it does not fit: the dots never need more memory than the bits present in the record.
std::optional<MonoDots> readMonoDots(std::span<const uint8_t> record, const StretchDiBits& r, bool mirrorX,
                                     bool mirrorY);

} // namespace quillon::emf
