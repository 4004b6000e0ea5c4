// Bit-image and raster graphics of the Epson printer: columns of dots from the pins, or rows of a
// raster image, placed on the dot grid of their mode at the print position.

#include "escp/epson/EpsonRenderer.h"

#include <algorithm>

namespace quillon::epson {

namespace {

uint8_t byteAt(std::string_view d, size_t i) { return i < d.size() ? uint8_t(d[i]) : 0; }

// ESC/P2 run-length data: a counter below 128 takes that many plus one bytes as they are; any
// other repeats the next byte 257 minus the counter times.
std::vector<uint8_t> expandRunLength(std::string_view d, size_t produced)
{
    std::vector<uint8_t> out;
    out.reserve(produced);
    size_t pos = 0;
    while (out.size() < produced && pos < d.size()) {
        const uint8_t counter = uint8_t(d[pos++]);
        if (counter < 128) {
            for (size_t i = 0; i <= counter && pos < d.size(); ++i)
                out.push_back(uint8_t(d[pos++]));
        } else {
            const uint8_t b = byteAt(d, pos++);
            out.insert(out.end(), size_t(257 - counter), b);
        }
    }
    out.resize(produced, 0);
    return out;
}

} // namespace

EpsonRenderer::Step EpsonRenderer::band(DotBand b, const std::vector<uint8_t>& rows)
{
    if (const Flow place = placeOnSheet(units(int64_t(b.height) * b.vstep)); place != Flow::Go)
        return {0, place};
    b.y = m_p.sheetY;
    m_strip.add(b, rows, rightEdge());
    return {1, Flow::Go};
}

EpsonRenderer::Step EpsonRenderer::bitImage(const BitImageMode& mode, int32_t columns,
                                            std::string_view data)
{
    if (!mode.valid() || columns <= 0)
        return {1, Flow::Go};
    const int64_t hstep = kGrid / mode.hdpi;
    // Columns past the right margin are not printed.
    const int64_t room = std::max<int64_t>(0, (rightEdge() - m_p.x) / hstep);
    const int32_t shown = int32_t(std::min<int64_t>(columns, room));
    if (shown > 0) {
        const int bytesPerColumn = mode.dots == 9 ? 2 : mode.bytesPerColumn();
        const size_t stride = size_t(shown + 7) / 8;
        std::vector<uint8_t> rows(stride * size_t(mode.dots), 0);
        for (int32_t c = 0; c < shown; ++c) {
            const size_t at = size_t(c) * size_t(bytesPerColumn);
            for (int r = 0; r < mode.dots; ++r) {
                // Pins from the top: the top bit of the column's first byte first; the ninth pin
                // of a 9-pin column is the top bit of its second byte.
                const uint8_t b = byteAt(data, at + size_t(r / 8));
                if (b & (0x80 >> (r % 8)))
                    rows[size_t(r) * stride + size_t(c / 8)] |= uint8_t(0x80 >> (c % 8));
            }
        }
        DotBand b{m_p.x, m_p.sheetY, hstep, kGrid / mode.vdpi, shown, mode.dots};
        const Step s = band(b, rows);
        if (s.flow != Flow::Go)
            return s;
    }
    m_p.x += int64_t(shown) * hstep;
    return {1, Flow::Go};
}

// ESC . c v h m nL nH: m rows of n dots, v/3600 inch apart down and h/3600 inch across.
EpsonRenderer::Step EpsonRenderer::raster(std::string_view params, std::string_view data)
{
    const uint8_t compression = byteAt(params, 0);
    const int64_t v = byteAt(params, 1), h = byteAt(params, 2);
    const int32_t height = byteAt(params, 3);
    const int32_t width = int32_t(byteAt(params, 4) + 256 * byteAt(params, 5));
    if (v == 0 || h == 0 || height == 0 || width == 0 || compression > 1)
        return {1, Flow::Go};
    const int64_t hstep = h * (kGrid / 3600), vstep = v * (kGrid / 3600);
    const size_t stride = size_t(width + 7) / 8;
    std::vector<uint8_t> rows = compression == 0
        ? std::vector<uint8_t>(data.begin(), data.end())
        : expandRunLength(data, stride * size_t(height));
    rows.resize(stride * size_t(height), 0);

    const int64_t room = std::max<int64_t>(0, (rightEdge() - m_p.x) / hstep);
    const int32_t shown = int32_t(std::min<int64_t>(width, room));
    if (shown > 0) {
        const size_t shownStride = size_t(shown + 7) / 8;
        if (shownStride != stride)
            for (int32_t r = 0; r < height; ++r)
                std::copy_n(rows.begin() + ptrdiff_t(size_t(r) * stride), shownStride,
                            rows.begin() + ptrdiff_t(size_t(r) * shownStride));
        rows.resize(shownStride * size_t(height));
        const Step s = band(DotBand{m_p.x, m_p.sheetY, hstep, vstep, shown, height}, rows);
        if (s.flow != Flow::Go)
            return s;
    }
    m_p.x += int64_t(shown) * hstep;
    return {1, Flow::Go};
}

} // namespace quillon::epson
