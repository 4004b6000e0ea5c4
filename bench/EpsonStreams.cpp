#include "EpsonStreams.h"

#include <cmath>

namespace quillon::bench {

namespace {

constexpr int kBands = 85;
constexpr int kDots = 24;
constexpr int kBandColumns = 1440;
constexpr int kTextLines = 60;

std::string le(int n) { return {char(n & 0xFF), char(n >> 8)}; }

// A shaded ball on a gradient, dithered with a 4 x 4 Bayer matrix; or frames, rules and blocks.
bool dot(DotContent content, int x, int y)
{
    if (content == DotContent::LineArt) {
        const bool frame = (x % 240 < 3) || (y % 120 < 3);
        const bool block = (x / 240 + y / 120) % 5 == 0 && (x % 240) > 40 && (x % 240) < 200
                        && (y % 120) > 30 && (y % 120) < 90;
        return frame || block;
    }
    static constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const double w = kBandColumns, h = kBands * kDots;
    const double cx = w * 0.5, cy = h * 0.45, r = w * 0.4;
    const double d = std::hypot(x - cx, y - cy);
    double grey;
    if (d < r) {
        const double z = std::sqrt(r * r - d * d) / r;
        grey = 1.0 - std::min(1.0, std::max(0.0, (-(x - cx) * 0.5 - (y - cy) * 0.6) / r + z * 0.6));
    } else {
        grey = 0.15 + 0.5 * x / w;
    }
    return grey * 16 > bayer[y % 4][x % 4] + 0.5;
}

// One page's bands, the same on every page.
std::string graphicsPage(DotContent content)
{
    std::string page;
    for (int band = 0; band < kBands; ++band) {
        page += "\x1b*\x27" + le(kBandColumns);
        for (int x = 0; x < kBandColumns; ++x)
            for (int k = 0; k < 3; ++k) {
                uint8_t b = 0;
                for (int bit = 0; bit < 8; ++bit)
                    if (dot(content, x, band * kDots + k * 8 + bit))
                        b |= uint8_t(0x80 >> bit);
                page.push_back(char(b));
            }
        page += "\r\n";
    }
    return page + "\x0c";
}

} // namespace

SpoolStream epsonGraphicsStream(int pageCount, DotContent content)
{
    SpoolStream s;
    const std::string page = graphicsPage(content);
    s.bytes = "\x1b@\x1b\x33\x18"; // reset, 24/180 inch line spacing
    s.bytes.reserve(page.size() * size_t(pageCount) + 8);
    for (int p = 0; p < pageCount; ++p)
        s.bytes += page;
    s.pages.resize(size_t(pageCount));
    return s;
}

std::string epsonGraphicsPageBits(DotContent content)
{
    std::string bits;
    for (int y = 0; y < kBands * kDots; ++y)
        for (int x = 0; x < kBandColumns; x += 8) {
            uint8_t b = 0;
            for (int i = 0; i < 8; ++i)
                if (dot(content, x + i, y))
                    b |= uint8_t(0x80 >> i);
            bits.push_back(char(b));
        }
    return bits;
}

SpoolStream epsonTextStream(int pageCount)
{
    // CP852: "Zażółć gęślą jaźń" and a box-drawing rule.
    static const std::string polish = "Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4";
    SpoolStream s;
    s.bytes = "\x1b@\x1b" "D\x0a\x1e\x32\x00"; // reset, tabs at columns 10, 30 and 50
    for (int p = 0; p < pageCount; ++p) {
        std::string& o = s.bytes;
        o += "\x1b" "E\x1b-1Zestawienie nr " + std::to_string(p + 1) + "\x1b-0\x1b" "F\r\n";
        for (int line = 1; line < kTextLines; ++line) {
            switch (line % 6) {
            case 0:
                o += "\x0f" + std::string(130, '\xc4') + "\x12\r\n";
                break;
            case 1:
                o += "\x1b" "4" + polish + "\x1b" "5\t" + std::to_string(line) + "\t" + polish + "\r\n";
                break;
            case 2:
                o += "\x0e" "Suma\x14 \t" + std::to_string(p * 100 + line) + ",00 z\x88\tok\r\n";
                break;
            default:
                o += "Pozycja " + std::to_string(line) + "\t" + polish + "\t" + std::to_string(line * 7) + ",50\r\n";
            }
        }
        o += "\x0c";
    }
    s.pages.resize(size_t(pageCount));
    return s;
}

} // namespace quillon::bench
