#pragma once
// The bit-image graphics of one sheet, gathered into as few 1-bit pictures as the stream allows:
// bands of one density printed one under the other, or one beside the other on a line, become one
// picture, drawn when the sheet ends or when a band does not fit the grid of the picture.

#include "gdi/DrawingContext.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace quillon::epson {

// A band of dots: width columns and height rows on a grid of hstep by vstep (fine grid steps),
// with its top-left dot at (x, y). dot(c, r) tells whether a dot is printed.
struct DotBand {
    int64_t x = 0;
    int64_t y = 0;
    int64_t hstep = 1;
    int64_t vstep = 1;
    int32_t width = 0;
    int32_t height = 0;
};

class DotStrip {
public:
    // draw receives each finished picture with its rectangle in fine grid steps.
    using Draw = std::function<void(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                    const MonoBitmap&)>;
    explicit DotStrip(Draw draw) : m_draw(std::move(draw)) {}

    // Adds a band; rowBits(r) gives row r as packed bits, leftmost dot in the top bit.
    // maxRight: the grid position no dot may reach (the right end of the sheet).
    void add(const DotBand& band, const std::vector<uint8_t>& rows, int64_t maxRight);
    // Draws what was gathered and starts empty.
    void flush();

private:
    bool fits(const DotBand& band, int64_t maxRight) const;
    void start(const DotBand& band, int64_t maxRight);

    Draw m_draw;
    bool m_active = false;
    int64_t m_x = 0, m_y = 0, m_hstep = 1, m_vstep = 1;
    int32_t m_stride = 0; // bytes a row, for the columns up to the sheet's right end
    int32_t m_rows = 0;
    int32_t m_usedWidth = 0;
    std::vector<uint8_t> m_bits;
};

} // namespace quillon::epson
