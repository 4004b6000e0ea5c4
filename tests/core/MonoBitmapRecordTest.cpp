// 1-bit dot pictures in page pictures: EMR_STRETCHDIBITS written by the recorder and played back,
// foreign 1-bit records (libuemf's, top-down, other colour tables) and damaged ones.

#include "EmfValidation.h"
#include "RecordingContext.h"

#include "gdi/ByteIO.h"
#include "gdi/EmfFormat.h"
#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"

#include <gtest/gtest.h>
#include <uemf.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

using namespace quillon;
using quillon::test::BitmapCall;
using quillon::test::RecordingContext;

namespace {

// Dots of a width x height picture, tightly packed rows (MonoBitmap's layout).
struct Dots {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> rows;
    MonoBitmap bitmap() const { return {width, height, rows}; }
    bool dot(int32_t x, int32_t y) const
    {
        return (rows[size_t(y) * size_t((width + 7) / 8) + size_t(x / 8)] & (0x80 >> (x % 8))) != 0;
    }
};

// A random pattern; the bits beyond the width are set too, which must not matter.
Dots randomDots(int32_t width, int32_t height, unsigned seed)
{
    std::mt19937 gen(seed);
    Dots d{width, height, std::vector<uint8_t>(size_t((width + 7) / 8) * size_t(height))};
    for (uint8_t& b : d.rows)
        b = uint8_t(gen());
    return d;
}

void expectSameDots(const BitmapCall& call, const Dots& want, bool flippedY = false)
{
    ASSERT_EQ(call.width, want.width);
    ASSERT_EQ(call.height, want.height);
    for (int32_t y = 0; y < want.height; ++y)
        for (int32_t x = 0; x < want.width; ++x)
            ASSERT_EQ(call.dot(x, y), want.dot(x, flippedY ? want.height - 1 - y : y)) << "dot " << x << "," << y;
}

// The picture with record inserted before its EOF, the header's totals adjusted.
std::vector<uint8_t> withRecord(std::vector<uint8_t> picture, const uint8_t* record)
{
    uint32_t size;
    std::memcpy(&size, record + 4, 4);
    picture.insert(picture.end() - emf::kEofSize, record, record + size);
    ByteReader in(picture);
    in.seek(emf::kNBytesOffset);
    const uint32_t records = (in.u32(), in.u32());
    ByteWriter w(picture, 0);
    w.patchU32(emf::kNBytesOffset, uint32_t(picture.size()));
    w.patchU32(emf::kNRecordsOffset, records + 1);
    return picture;
}

// A 1-bit STRETCHDIBITS record as libuemf makes it: colours index 0 and 1, rows as given
// (already padded to 4 bytes, bottom-up for a positive height).
std::vector<uint8_t> foreignRecord(Rect dest, int32_t width, int32_t height, U_RGBQUAD c0, U_RGBQUAD c1,
                                   uint32_t rop, std::vector<uint8_t> bits, Point src = {}, Size cSrc = {})
{
    U_RGBQUAD colours[2] = {c0, c1};
    const U_BITMAPINFOHEADER header = bitmapinfoheader_set(width, height, 1, 1, U_BI_RGB, uint32_t(bits.size()), 0, 0, 2, 0);
    PU_BITMAPINFO bmi = bitmapinfo_set(header, colours);
    if (cSrc.cx == 0)
        cSrc = {width, std::abs(height)};
    char* rec = U_EMRSTRETCHDIBITS_set(rectl_set(point32_set(dest.left, dest.top), point32_set(dest.right - 1, dest.bottom - 1)),
                                       point32_set(dest.left, dest.top), point32_set(dest.right - dest.left, dest.bottom - dest.top),
                                       point32_set(src.x, src.y), point32_set(cSrc.cx, cSrc.cy), U_DIB_RGB_COLORS, rop,
                                       bmi, uint32_t(bits.size()), reinterpret_cast<char*>(bits.data()));
    std::free(bmi);
    const auto* r = reinterpret_cast<const U_EMR*>(rec);
    std::vector<uint8_t> out(reinterpret_cast<uint8_t*>(rec), reinterpret_cast<uint8_t*>(rec) + r->nSize);
    std::free(rec);
    return out;
}

std::vector<uint8_t> emptyPage()
{
    EmfRecorder rec(Size{21000, 29700});
    return rec.finish();
}

} // namespace

TEST(MonoBitmapRecord, EveryDotAndTheDestinationComeBackForOddWidths)
{
    // Widths that leave a partial last byte, one byte exactly, and DIB row padding of 3, 1 and 0.
    const std::vector<std::pair<Dots, Rect>> cases = {
        {randomDots(13, 7, 1), {1001, 2003, 1001 + 13 * 42, 2003 + 7 * 35}},
        {randomDots(1, 5, 2), {-50, 17, -41, 33}},
        {randomDots(8, 3, 3), {0, 0, 8, 3}},
        {randomDots(100, 24, 4), {5000, 29000, 5000 + 100 * 7, 29000 + 24 * 7}},
    };
    EmfRecorder rec(Size{21000, 29700});
    for (const auto& [dots, dest] : cases)
        rec.drawMonoBitmap(dest, dots.bitmap());
    const std::vector<uint8_t> picture = rec.finish();

    const test::EmfCheck check = test::checkEmf(picture);
    ASSERT_TRUE(check.ok) << check.error;
    ASSERT_EQ(check.records, 2 + cases.size());
    const std::optional<emf::Header> header = emf::parseHeader(picture);
    EXPECT_EQ(header->bounds, (Rect{-50, 0, 5699, 29167}));

    // The layout as libuemf reads it: SRCAND, a bottom-up DIB with black at 0 and white at 1.
    const auto* first = reinterpret_cast<const U_EMRSTRETCHDIBITS*>(picture.data() + emf::kHeaderSize);
    ASSERT_EQ(first->emr.iType, uint32_t(U_EMR_STRETCHDIBITS));
    EXPECT_EQ(first->dwRop, uint32_t(U_SRCAND));
    EXPECT_EQ(first->iUsageSrc, uint32_t(U_DIB_RGB_COLORS));
    EXPECT_EQ(first->cDest.x, 13 * 42);
    EXPECT_EQ(first->cDest.y, 7 * 35);
    const auto* bmi = reinterpret_cast<const U_BITMAPINFO*>(reinterpret_cast<const char*>(first) + first->offBmiSrc);
    EXPECT_EQ(bmi->bmiHeader.biHeight, 7);
    EXPECT_EQ(bmi->bmiHeader.biBitCount, 1);
    EXPECT_EQ(first->cbBitsSrc, 7u * 4u);
    const U_RGBQUAD* colours = bmi->bmiColors;
    EXPECT_EQ(colours[0].Red + colours[0].Green + colours[0].Blue, 0);
    EXPECT_EQ(colours[1].Red + colours[1].Green + colours[1].Blue, 3 * 255);
    // The first DIB row is the picture's bottom row, a dot is a 0 bit.
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(first) + first->offBitsSrc;
    EXPECT_EQ(bits[0], uint8_t(~cases[0].first.rows[6 * 2]));
    EXPECT_EQ(bits[1], uint8_t(~cases[0].first.rows[6 * 2 + 1] | 0x07)) << "bits past the width are paper";

    RecordingContext dc;
    const PlayResult played = playEmf(picture, dc, {});
    ASSERT_TRUE(played.ok) << played.error;
    ASSERT_EQ(dc.bitmaps.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(dc.bitmaps[i].dest, cases[i].second) << "bitmap " << i;
        expectSameDots(dc.bitmaps[i], cases[i].first);
    }
}

TEST(MonoBitmapRecord, EmptyOrInvalidBitmapsAreNotRecorded)
{
    const Dots dots = randomDots(9, 2, 5);
    EmfRecorder rec(Size{21000, 29700});
    rec.drawMonoBitmap({10, 10, 10, 20}, dots.bitmap());          // no width
    rec.drawMonoBitmap({10, 20, 30, 10}, dots.bitmap());          // turned over
    rec.drawMonoBitmap({10, 10, 30, 20}, {9, 3, dots.rows});      // fewer rows than it claims
    rec.drawMonoBitmap({INT32_MIN, 0, INT32_MAX, 10}, dots.bitmap()); // wider than any record says
    EXPECT_EQ(rec.finish(), emptyPage());
}

TEST(MonoBitmapRecord, ForeignTopDownAndInvertedColourTablesGiveTheBlackDots)
{
    // 10 x 3 dots, top-down rows: row 0 has dots 0 and 9, row 1 none, row 2 all.
    const std::vector<uint8_t> rows = {0x80, 0x40, 0, 0, 0, 0, 0, 0, 0xFF, 0xC0, 0, 0};
    const U_RGBQUAD white = rgbquad_set(255, 255, 255, 0), black = rgbquad_set(0, 0, 0, 0);
    const U_RGBQUAD navy = rgbquad_set(0, 0, 128, 0), cream = rgbquad_set(250, 240, 200, 0);
    std::vector<uint8_t> picture = emptyPage();
    // As we write them, but top-down; then with index 0 black (its set bits are paper); then a dark
    // and a light colour copied, then inverted by NOTSRCCOPY; then the source's right half only.
    picture = withRecord(picture, foreignRecord({0, 0, 10, 3}, 10, -3, white, black, U_SRCAND, rows).data());
    std::vector<uint8_t> inverted(rows);
    for (uint8_t& b : inverted)
        b = uint8_t(~b);
    picture = withRecord(picture, foreignRecord({0, 10, 10, 13}, 10, -3, black, white, U_SRCCOPY, inverted).data());
    picture = withRecord(picture, foreignRecord({0, 20, 10, 23}, 10, -3, cream, navy, U_SRCCOPY, rows).data());
    picture = withRecord(picture, foreignRecord({0, 30, 10, 33}, 10, -3, navy, cream, U_NOTSRCCOPY, rows).data());
    picture = withRecord(picture, foreignRecord({0, 40, 5, 43}, 10, -3, white, black, U_SRCAND, rows, {5, 0}, {5, 3}).data());
    ASSERT_TRUE(test::checkEmf(picture).ok) << test::checkEmf(picture).error;

    RecordingContext dc;
    ASSERT_TRUE(playEmf(picture, dc, {}).ok);
    ASSERT_EQ(dc.bitmaps.size(), 5u);
    const Dots want{10, 3, {0x80, 0x40, 0x00, 0x00, 0xFF, 0xC0}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(dc.bitmaps[i].dest, (Rect{0, int32_t(10 * i), 10, int32_t(10 * i + 3)}));
        expectSameDots(dc.bitmaps[i], want);
    }
    EXPECT_EQ(dc.bitmaps[4].dest, (Rect{0, 40, 5, 43}));
    expectSameDots(dc.bitmaps[4], Dots{5, 3, {0x08, 0x00, 0xF8}});
}

TEST(MonoBitmapRecord, AMappingThatFlipsYTurnsTheDotsOver)
{
    const Dots dots = randomDots(13, 6, 6);
    EmfRecorder rec(Size{21000, 29700});
    rec.setMapMode(kMmAnisotropic);
    rec.setWindowExt({10, 10});
    rec.setViewportExt({20, -20}); // twice the size, y upwards
    rec.drawMonoBitmap({100, 50, 113, 56}, dots.bitmap());
    RecordingContext dc;
    ASSERT_TRUE(playEmf(rec.finish(), dc, {}).ok);
    ASSERT_EQ(dc.bitmaps.size(), 1u);
    EXPECT_EQ(dc.bitmaps[0].dest, (Rect{200, -112, 226, -100}));
    expectSameDots(dc.bitmaps[0], dots, true);
}

TEST(MonoBitmapRecord, LyingOrDamagedRecordsAreSkippedAndPlayGoesOn)
{
    const Dots dots = randomDots(13, 7, 7);
    EmfRecorder rec(Size{21000, 29700});
    rec.drawMonoBitmap({0, 0, 13, 7}, dots.bitmap());
    rec.drawMonoBitmap({0, 100, 13, 107}, dots.bitmap());
    const std::vector<uint8_t> good = rec.finish();
    const size_t at = emf::kHeaderSize;        // the first bitmap record
    const size_t info = at + emf::kStretchDiBitsFixedSize; // its BITMAPINFOHEADER

    struct Lie {
        const char* what;
        size_t offset;
        uint32_t value;
    };
    const Lie lies[] = {
        {"bits larger than the record", at + 60, 0x7FFFFFF0},
        {"bits fewer than the rows", at + 60, 7 * 4 - 1},
        {"bits past the record", at + 56, 140},
        {"header outside the record", at + 48, 4},
        {"header larger than the record", at + 52, 0xFFFFFFF0},
        {"a huge width", info + 4, 0x7FFFFFFF},
        {"a huge height", info + 8, 0x7FFFFFFF},
        {"the most negative height", info + 8, 0x80000000},
        {"no width", info + 4, 0},
        {"8 bits a pixel", info + 14, 8},
        {"compressed", info + 16, 1},
        {"one colour", info + 32, 1},
        {"header size past the colours", info, 44},
        {"palette colours", at + 64, 1},
        {"source past the right edge", at + 32, 1},
        {"source above the top", at + 36, uint32_t(-1)},
        {"a huge source height", at + 44, 0x7FFFFFFF},
    };
    for (const Lie& lie : lies) {
        SCOPED_TRACE(lie.what);
        std::vector<uint8_t> bad = good;
        ByteWriter(bad, 0).patchU32(lie.offset, lie.value);
        RecordingContext dc;
        const PlayResult played = playEmf(bad, dc, {});
        EXPECT_TRUE(played.ok) << played.error;
        ASSERT_EQ(dc.bitmaps.size(), 1u);
        EXPECT_EQ(dc.bitmaps[0].dest, (Rect{0, 100, 13, 107}));
    }

    // Whatever a byte of the record's fixed part and header becomes, the player stays inside it and
    // hands dc only consistent bitmaps (RecordingContext reads every row it is given).
    for (size_t i = at + 8; i < info + emf::kBitmapInfoHeaderSize + 8; ++i) {
        for (uint8_t v : {uint8_t(0x00), uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
            std::vector<uint8_t> bad = good;
            bad[i] = v;
            RecordingContext dc;
            playEmf(bad, dc, {});
            ASSERT_GE(dc.bitmaps.size(), 1u) << "byte " << i;
        }
    }
}
