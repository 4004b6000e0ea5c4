#pragma once
// Plays an enhanced metafile (a page picture, or a picture from another EMF writer) onto any
// drawing context.

#include "DrawingContext.h"

#include <cstdint>
#include <span>
#include <string>

namespace quillon {

struct PlayResult {
    bool ok = true;
    std::string error;          // why playback stopped early or the picture is incomplete
    uint32_t recordsPlayed = 0; // records walked, the header and EOF included
};

// Plays one picture onto dc. The picture's device units become 0.01 mm through its header
// (szlMillimeters / szlDevice, 1:1 for the program's own pictures) and are offset by origin; dc
// receives everything in its own logical units, which the caller sets up (for example 0.01 mm per
// unit). The picture's mapping records (map mode, window and viewport, save and restore) are applied
// here and never reach dc. Objects the picture creates are deleted from dc at the end and the dc's
// selections and text state are put back as they were.
//
// Every size, offset and count is checked against the bytes given: a record that does not fit
// stops playback (ok = false, with the reason); a record whose string or advances lie outside it is
// skipped on its own. What was played before an error stays drawn.
//
// EMR_STRETCHDIBITS with a 1-bit DIB reaches dc as drawMonoBitmap(): the dots its raster operation
// paints black on white paper, turned over where the mapping flips an axis. Bitmaps of other
// depths and palette-indexed colour tables are skipped.
PlayResult playEmf(std::span<const uint8_t> picture, DrawingContext& dc, Point origin);

} // namespace quillon
