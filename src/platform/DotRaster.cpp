#include "DotRaster.h"

#include <climits>
#include <vector>

namespace quillon {

namespace {

// The dots [first, first + count) that device pixel k of n shows along an axis of `dots` dots.
// Enlarged, it is the one dot under the pixel's centre, so each dot edge falls on the pixel
// boundary nearest to it; shrunk, the dots that start inside the pixel, so every dot counts in
// exactly one pixel.
struct Span {
    int32_t first = 0;
    int32_t count = 1;
};

std::vector<Span> spans(int64_t n, int32_t dots, int from, int to, bool mirror)
{
    std::vector<Span> out;
    out.reserve(size_t(to - from));
    for (int64_t i = from; i < to; ++i) {
        const int64_t k = mirror ? n - 1 - i : i;
        if (n >= dots) {
            out.push_back({int32_t((2 * k + 1) * dots / (2 * n)), 1});
        } else {
            const int64_t a = k * dots / n;
            const int64_t b = (k + 1) * dots / n;
            out.push_back({int32_t(a), int32_t(b - a)});
        }
    }
    return out;
}

} // namespace

QImage rasterizeDots(const MonoBitmap& bitmap, int64_t columns, int64_t rows, const QRect& visible, bool mirrorX,
                     bool mirrorY)
{
    // Grids beyond 2^31 pixels come only from damaged pictures (and would overflow the spans).
    if (!bitmap.valid() || visible.isEmpty() || columns <= 0 || rows <= 0 || columns > INT32_MAX || rows > INT32_MAX
        || visible.left() < 0 || visible.top() < 0 || visible.right() >= columns || visible.bottom() >= rows)
        return {};
    QImage image(visible.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const std::vector<Span> across = spans(columns, bitmap.width, visible.left(), visible.right() + 1, mirrorX);
    const std::vector<Span> down = spans(rows, bitmap.height, visible.top(), visible.bottom() + 1, mirrorY);
    const size_t perRow = size_t(bitmap.bytesPerRow());
    std::vector<uint64_t> ink(across.size());
    for (int y = 0; y < image.height(); ++y) {
        const Span rowSpan = down[size_t(y)];
        std::fill(ink.begin(), ink.end(), 0);
        for (int32_t sy = rowSpan.first; sy < rowSpan.first + rowSpan.count; ++sy) {
            const uint8_t* src = bitmap.rows.data() + size_t(sy) * perRow;
            for (size_t x = 0; x < across.size(); ++x) {
                const Span s = across[x];
                uint32_t n = 0;
                for (int32_t sx = s.first; sx < s.first + s.count; ++sx)
                    n += (src[sx >> 3] >> (7 - (sx & 7))) & 1;
                ink[x] += n;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (size_t x = 0; x < across.size(); ++x) {
            const uint64_t area = uint64_t(across[x].count) * uint64_t(rowSpan.count);
            const uint64_t alpha = (ink[x] * 255 + area / 2) / area;
            line[x] = QRgb(alpha << 24); // black, premultiplied
        }
    }
    return image;
}

} // namespace quillon
