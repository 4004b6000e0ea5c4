#include "MonoDib.h"

#include <climits>
#include <cstring>

namespace quillon::emf {

namespace {

// Larger records come only from damaged pictures; a page of dots at 720 dpi is about 6 MB.
constexpr uint64_t kMaxRecordSize = uint64_t(1) << 30;
constexpr uint32_t kMonoColors = 2;
constexpr uint32_t kMonoInfoSize = kBitmapInfoHeaderSize + kMonoColors * kRgbQuadSize;
constexpr uint32_t kWhite = 0x00FFFFFF; // RGBQUAD 0 blue, 1 green, 2 red, 3 reserved
constexpr uint32_t kBlack = 0x00000000;

// Whether a source pixel of a light or a dark colour ends black on white paper under the raster
// operation rop. Its ternary code (bits 16-23) holds the result for each pattern, source and
// destination bit at bit 4P + 2S + D; the pattern is the default white brush, the destination
// white paper.
bool paintsBlack(bool lightSource, uint32_t rop)
{
    const uint32_t code = (rop >> 16) & 0xFF;
    const uint32_t at = 4 + (lightSource ? 2 : 0) + 1;
    return ((code >> at) & 1) == 0;
}

bool isLight(uint8_t red, uint8_t green, uint8_t blue)
{
    return 299 * red + 587 * green + 114 * blue >= 128 * 1000;
}

} // namespace

uint64_t monoBitmapRecordSize(const MonoBitmap& bitmap)
{
    if (!bitmap.valid())
        return 0;
    const uint64_t size = kStretchDiBitsFixedSize + kMonoInfoSize + dibStride(uint64_t(bitmap.width), 1) * uint64_t(bitmap.height);
    return size <= kMaxRecordSize ? size : 0;
}

void writeMonoBitmap(ByteWriter& out, const Rect& bounds, const Rect& dest, const MonoBitmap& bitmap)
{
    const uint64_t size = monoBitmapRecordSize(bitmap);
    const uint32_t stride = uint32_t(dibStride(uint64_t(bitmap.width), 1));
    const uint32_t bits = stride * uint32_t(bitmap.height);

    StretchDiBits r;
    r.bounds = bounds;
    r.xDest = dest.left;
    r.yDest = dest.top;
    r.cxSrc = bitmap.width;
    r.cySrc = bitmap.height;
    r.offBmiSrc = kStretchDiBitsFixedSize;
    r.cbBmiSrc = kMonoInfoSize;
    r.offBitsSrc = kStretchDiBitsFixedSize + kMonoInfoSize;
    r.cbBitsSrc = bits;
    r.usageSrc = kDibRgbColors;
    r.rop = kRopSrcAnd;
    r.cxDest = int32_t(int64_t(dest.right) - dest.left);
    r.cyDest = int32_t(int64_t(dest.bottom) - dest.top);
    writeStretchDiBitsStart(out, uint32_t(size), r);

    BitmapInfoHeader h;
    h.width = bitmap.width;
    h.height = bitmap.height; // bottom-up, as most DIBs are
    h.bitCount = 1;
    h.compression = kBiRgb;
    h.sizeImage = bits;
    h.clrUsed = kMonoColors;
    writeBitmapInfoHeader(out, h);
    out.u32(kBlack); // index 0: a dot
    out.u32(kWhite); // index 1: paper

    // Bits are inverted: a dot is 0. The bits beyond the width are paper, so a picture's bytes
    // depend on its dots alone.
    const size_t perRow = size_t(bitmap.bytesPerRow());
    const uint8_t beyondWidth = uint8_t(0xFF >> (8 - (8 - bitmap.width % 8) % 8));
    std::vector<uint8_t> line(stride, 0);
    for (int32_t y = bitmap.height - 1; y >= 0; --y) {
        const uint8_t* row = bitmap.rows.data() + size_t(y) * perRow;
        for (size_t i = 0; i < perRow; ++i)
            line[i] = uint8_t(~row[i]);
        line[perRow - 1] |= beyondWidth;
        out.bytes(line.data(), stride);
    }
}

namespace {

// The source DIB of a record: its size, row order and which of its two colours are light.
struct MonoSource {
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    uint64_t stride = 0;
    bool light[kMonoColors] = {};
};

// The record's BITMAPINFO as a 1-bit DIB in RGB colours, its bits whole inside the record; nothing
// for anything else.
std::optional<MonoSource> readMonoSource(std::span<const uint8_t> record, const StretchDiBits& r)
{
    if (r.usageSrc != kDibRgbColors || r.cbBmiSrc < kBitmapInfoHeaderSize
        || !fitsInRecord(r.offBmiSrc, r.cbBmiSrc, record.size()))
        return std::nullopt;
    ByteReader info(record.subspan(r.offBmiSrc, r.cbBmiSrc));
    const BitmapInfoHeader h = readBitmapInfoHeader(info);
    if (!info.ok() || h.size < kBitmapInfoHeaderSize || h.bitCount != 1 || h.compression != kBiRgb
        || h.width <= 0 || h.height == 0 || h.height == INT32_MIN || h.clrUsed == 1)
        return std::nullopt;
    MonoSource source;
    // The colour table follows the header, inside the BITMAPINFO.
    info.seek(h.size);
    for (bool& l : source.light) {
        const uint8_t blue = info.u8();
        const uint8_t green = info.u8();
        const uint8_t red = info.u8();
        info.u8();
        l = isLight(red, green, blue);
    }
    if (!info.ok())
        return std::nullopt;
    source.topDown = h.height < 0;
    source.width = h.width;
    source.height = source.topDown ? -int64_t(h.height) : int64_t(h.height);
    source.stride = dibStride(uint64_t(source.width), 1);
    const uint64_t bits = source.stride * uint64_t(source.height);
    if (bits > r.cbBitsSrc || !fitsInRecord(r.offBitsSrc, r.cbBitsSrc, record.size()))
        return std::nullopt;
    return source;
}

// The part of the source that is drawn: x0, y0 from the top left as the record counts them,
// with positive extents (a negative extent mirrors the picture on its axis).
struct SourceRect {
    int64_t x0, y0, cx, cy;
    bool mirrorX, mirrorY;
};

std::optional<SourceRect> sourceRect(const StretchDiBits& r, const MonoSource& source, bool mirrorX, bool mirrorY)
{
    SourceRect s{r.xSrc, r.ySrc, r.cxSrc, r.cySrc, mirrorX, mirrorY};
    if (s.cx < 0) {
        s.x0 += s.cx;
        s.cx = -s.cx;
        s.mirrorX = !s.mirrorX;
    }
    if (s.cy < 0) {
        s.y0 += s.cy;
        s.cy = -s.cy;
        s.mirrorY = !s.mirrorY;
    }
    if (s.cx == 0 || s.cy == 0 || s.x0 < 0 || s.y0 < 0 || s.x0 + s.cx > source.width || s.y0 + s.cy > source.height)
        return std::nullopt;
    return s;
}

// Row j of the dots (perRow bytes at dst, all clear) from the source row src: set where the
// source colour is ink.
void copyDotRow(const uint8_t* src, uint8_t* dst, size_t perRow, const SourceRect& s, const bool ink[kMonoColors])
{
    if (ink[0] && ink[1]) {
        std::memset(dst, 0xFF, perRow);
    } else if (!s.mirrorX && s.x0 % 8 == 0) {
        std::memcpy(dst, src + s.x0 / 8, perRow);
    } else {
        for (int64_t i = 0; i < s.cx; ++i) {
            const int64_t sx = s.x0 + (s.mirrorX ? s.cx - 1 - i : i);
            if ((src[sx / 8] >> (7 - sx % 8)) & 1)
                dst[i / 8] |= uint8_t(0x80 >> (i % 8));
        }
    }
    if (ink[0] && !ink[1]) {
        for (size_t k = 0; k < perRow; ++k)
            dst[k] = uint8_t(~dst[k]);
    }
    dst[perRow - 1] &= uint8_t(0xFF << ((8 - s.cx % 8) % 8));
}

} // namespace

std::optional<MonoDots> readMonoDots(std::span<const uint8_t> record, const StretchDiBits& r, bool mirrorX,
                                     bool mirrorY)
{
    const std::optional<MonoSource> source = readMonoSource(record, r);
    if (!source)
        return std::nullopt;
    const std::optional<SourceRect> s = sourceRect(r, *source, mirrorX, mirrorY);
    if (!s)
        return std::nullopt;
    // The first row of the source rectangle from the top; ySrc of a bottom-up DIB counts from its
    // bottom row.
    const int64_t top = source->topDown ? s->y0 : source->height - s->y0 - s->cy;

    const bool ink[kMonoColors] = {paintsBlack(source->light[0], r.rop), paintsBlack(source->light[1], r.rop)};
    MonoDots dots;
    dots.width = int32_t(s->cx);
    dots.height = int32_t(s->cy);
    const size_t perRow = size_t(dots.bitmap().bytesPerRow());
    dots.rows.assign(perRow * size_t(s->cy), 0);
    if (!ink[0] && !ink[1])
        return dots;
    const uint8_t* pixels = record.data() + r.offBitsSrc;
    for (int64_t j = 0; j < s->cy; ++j) {
        const int64_t row = top + (s->mirrorY ? s->cy - 1 - j : j);
        const uint8_t* src = pixels + uint64_t(source->topDown ? row : source->height - 1 - row) * source->stride;
        copyDotRow(src, dots.rows.data() + size_t(j) * perRow, perRow, *s, ink);
    }
    return dots;
}

} // namespace quillon::emf
