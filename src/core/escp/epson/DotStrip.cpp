#include "escp/epson/DotStrip.h"

#include <algorithm>

namespace quillon::epson {

namespace {

constexpr size_t kMaxBytes = size_t(16) << 20; // one picture's dots at the most
constexpr int64_t kMaxGapRows = 256;            // blank rows a picture may take in between

} // namespace

bool DotStrip::fits(const DotBand& band, int64_t maxRight) const
{
    if (!m_active || band.hstep != m_hstep || band.vstep != m_vstep || band.x < m_x || band.y < m_y)
        return false;
    if ((band.x - m_x) % m_hstep != 0 || (band.y - m_y) % m_vstep != 0)
        return false;
    const int64_t firstRow = (band.y - m_y) / m_vstep;
    if (firstRow > m_rows + kMaxGapRows)
        return false;
    const int64_t rows = std::max<int64_t>(m_rows, firstRow + band.height);
    return size_t(rows) * size_t(m_stride) <= kMaxBytes;
}

void DotStrip::start(const DotBand& band, int64_t maxRight)
{
    m_active = true;
    m_x = band.x;
    m_y = band.y;
    m_hstep = band.hstep;
    m_vstep = band.vstep;
    const int64_t columns = std::max<int64_t>(band.width, (maxRight - band.x) / band.hstep);
    m_stride = int32_t(std::min<int64_t>((columns + 7) / 8, int64_t(kMaxBytes) / std::max(1, band.height)));
    m_rows = 0;
    m_usedWidth = 0;
    m_bits.clear();
}

void DotStrip::add(const DotBand& band, const std::vector<uint8_t>& rows, int64_t maxRight)
{
    if (band.width <= 0 || band.height <= 0)
        return;
    if (!fits(band, maxRight)) {
        flush();
        start(band, maxRight);
    }
    const int64_t c0 = (band.x - m_x) / m_hstep;
    const int64_t r0 = (band.y - m_y) / m_vstep;
    const int64_t rowsNeeded = r0 + band.height;
    if (rowsNeeded > m_rows) {
        m_bits.resize(size_t(rowsNeeded) * size_t(m_stride), 0);
        m_rows = int32_t(rowsNeeded);
    }
    const int64_t columns = std::min<int64_t>(band.width, int64_t(m_stride) * 8 - c0);
    if (columns <= 0)
        return;
    const size_t bandStride = size_t(band.width + 7) / 8;
    const int shift = int(c0 % 8);
    for (int32_t r = 0; r < band.height; ++r) {
        const uint8_t* src = rows.data() + size_t(r) * bandStride;
        uint8_t* dst = m_bits.data() + size_t(r0 + r) * size_t(m_stride) + size_t(c0 / 8);
        const size_t bytes = size_t(columns + 7) / 8;
        for (size_t i = 0; i < bytes; ++i) {
            uint8_t b = src[i];
            if (i == bytes - 1 && columns % 8)
                b &= uint8_t(0xFF << (8 - columns % 8));
            if (!b)
                continue;
            dst[i] |= uint8_t(b >> shift);
            if (shift && size_t(c0 / 8) + i + 1 < size_t(m_stride))
                dst[i + 1] |= uint8_t(b << (8 - shift));
        }
    }
    m_usedWidth = std::max<int32_t>(m_usedWidth, int32_t(c0 + columns));
}

void DotStrip::flush()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_rows == 0 || m_usedWidth == 0
        || std::all_of(m_bits.begin(), m_bits.end(), [](uint8_t b) { return b == 0; }))
        return;
    const int32_t bytesPerRow = (m_usedWidth + 7) / 8;
    if (bytesPerRow != m_stride) {
        for (int32_t r = 0; r < m_rows; ++r)
            std::copy_n(m_bits.begin() + ptrdiff_t(r) * m_stride, bytesPerRow,
                        m_bits.begin() + ptrdiff_t(r) * bytesPerRow);
    }
    MonoBitmap bitmap{m_usedWidth, m_rows, {m_bits.data(), size_t(bytesPerRow) * size_t(m_rows)}};
    m_draw(m_x, m_y, m_x + int64_t(m_usedWidth) * m_hstep, m_y + int64_t(m_rows) * m_vstep, bitmap);
}

} // namespace quillon::epson
