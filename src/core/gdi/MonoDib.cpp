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

std::optional<MonoDots> readMonoDots(std::span<const uint8_t> record, const StretchDiBits& r, bool mirrorX,
                                     bool mirrorY)
{
    if (r.usageSrc != kDibRgbColors || r.cbBmiSrc < kBitmapInfoHeaderSize
        || !fitsInRecord(r.offBmiSrc, r.cbBmiSrc, record.size()))
        return std::nullopt;
    ByteReader info(record.subspan(r.offBmiSrc, r.cbBmiSrc));
    const BitmapInfoHeader h = readBitmapInfoHeader(info);
    if (!info.ok() || h.size < kBitmapInfoHeaderSize || h.bitCount != 1 || h.compression != kBiRgb
        || h.width <= 0 || h.height == 0 || h.height == INT32_MIN || h.clrUsed == 1)
        return std::nullopt;
    // The colour table follows the header, inside the BITMAPINFO.
    bool light[kMonoColors] = {};
    info.seek(h.size);
    for (bool& l : light) {
        const uint8_t blue = info.u8();
        const uint8_t green = info.u8();
        const uint8_t red = info.u8();
        info.u8();
        l = isLight(red, green, blue);
    }
    if (!info.ok())
        return std::nullopt;

    const bool topDown = h.height < 0;
    const int64_t width = h.width;
    const int64_t height = topDown ? -int64_t(h.height) : int64_t(h.height);
    const uint64_t stride = dibStride(uint64_t(width), 1);
    const uint64_t bits = stride * uint64_t(height);
    if (bits > r.cbBitsSrc || !fitsInRecord(r.offBitsSrc, r.cbBitsSrc, record.size()))
        return std::nullopt;

    int64_t x0 = r.xSrc, y0 = r.ySrc, cx = r.cxSrc, cy = r.cySrc;
    if (cx < 0) {
        x0 += cx;
        cx = -cx;
        mirrorX = !mirrorX;
    }
    if (cy < 0) {
        y0 += cy;
        cy = -cy;
        mirrorY = !mirrorY;
    }
    if (cx == 0 || cy == 0 || x0 < 0 || y0 < 0 || x0 + cx > width || y0 + cy > height)
        return std::nullopt;
    // The first row of the source rectangle from the top; ySrc of a bottom-up DIB counts from its
    // bottom row.
    const int64_t top = topDown ? y0 : height - y0 - cy;

    const bool ink[kMonoColors] = {paintsBlack(light[0], r.rop), paintsBlack(light[1], r.rop)};
    MonoDots dots;
    dots.width = int32_t(cx);
    dots.height = int32_t(cy);
    const size_t perRow = size_t(dots.bitmap().bytesPerRow());
    dots.rows.assign(perRow * size_t(cy), 0);
    if (!ink[0] && !ink[1])
        return dots;

    const uint8_t lastMask = uint8_t(0xFF << ((8 - cx % 8) % 8));
    const uint8_t* pixels = record.data() + r.offBitsSrc;
    for (int64_t j = 0; j < cy; ++j) {
        const int64_t row = top + (mirrorY ? cy - 1 - j : j);
        const uint8_t* src = pixels + uint64_t(topDown ? row : height - 1 - row) * stride;
        uint8_t* dst = dots.rows.data() + size_t(j) * perRow;
        if (ink[0] && ink[1]) {
            std::memset(dst, 0xFF, perRow);
        } else if (!mirrorX && x0 % 8 == 0) {
            std::memcpy(dst, src + x0 / 8, perRow);
        } else {
            for (int64_t i = 0; i < cx; ++i) {
                const int64_t sx = x0 + (mirrorX ? cx - 1 - i : i);
                if ((src[sx / 8] >> (7 - sx % 8)) & 1)
                    dst[i / 8] |= uint8_t(0x80 >> (i % 8));
            }
        }
        if (ink[0] && !ink[1]) {
            for (size_t k = 0; k < perRow; ++k)
                dst[k] = uint8_t(~dst[k]);
        }
        dst[perRow - 1] &= lastMask;
    }
    return dots;
}

} // namespace quillon::emf
