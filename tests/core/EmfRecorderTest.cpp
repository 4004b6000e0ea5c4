#include "gdi/EmfFormat.h"
#include "gdi/EmfRecorder.h"

#include "EmfValidation.h"
#include "CourierFont.h"

#include <gtest/gtest.h>

#include <climits>

using namespace quillon;
using namespace quillon::test;

TEST(EmfRecorder, AnEmptyPageIsAValidPictureFramedAsThePaper)
{
    EmfRecorder rec(Size{21000, 29700});
    std::vector<uint8_t> bytes = rec.finish();
    EmfCheck c = checkEmf(bytes);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_EQ(c.records, 2u);
    auto h = emf::parseHeader(bytes);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->frame, (Rect{0, 0, 21000, 29700}));
    EXPECT_EQ(h->device, (Size{21000, 29700}));
    EXPECT_EQ(h->millimeters, (Size{210, 297}));
    EXPECT_EQ(h->micrometers, (Size{210000, 297000}));
    EXPECT_EQ(h->nBytes, bytes.size());
    EXPECT_EQ(h->nHandles, 1);
}

TEST(EmfRecorder, TextRunsAreRecordedAsOemFontsAndAnsiText)
{
    EmfRecorder rec(Size{29700, 21000});
    const LogFont f = courierNew(423, 254, 700);
    for (int run = 0; run < 3; ++run) {
        GdiObject font = rec.createFont(f);
        EXPECT_EQ(font, 1u) << "handles are reused after delete";
        GdiObject previous = rec.selectObject(font);
        rec.setTextAlign(24);
        rec.setTextColor(0);
        const std::string text = "\xa5\xb3\xc4 x";
        int32_t dx[5] = {254, 254, 254, 254, 254};
        rec.extTextOutA({300, 423 * (run + 1)}, 0, nullptr, text, dx);
        rec.selectObject(previous);
        rec.deleteObject(font);
    }
    rec.setBkMode(kTransparent);
    std::vector<uint8_t> bytes = rec.finish();
    EmfCheck c = checkEmf(bytes);
    ASSERT_TRUE(c.ok) << c.error;
    auto h = emf::parseHeader(bytes);
    EXPECT_EQ(h->nHandles, 2);
    EXPECT_EQ(h->frame, (Rect{0, 0, 29700, 21000}));
    EXPECT_LE(h->bounds.left, 300);
    EXPECT_GE(h->bounds.right, 300 + 5 * 254 - 1);

    // Find the first font and text records and read them back field by field.
    size_t at = emf::kHeaderSize;
    bool sawFont = false, sawText = false;
    while (at < bytes.size()) {
        ByteReader in(std::span<const uint8_t>(bytes).subspan(at));
        uint32_t type = in.u32();
        uint32_t size = in.u32();
        if (type == emf::EMR_EXTCREATEFONTINDIRECTW && !sawFont) {
            sawFont = true;
            EXPECT_EQ(size, 104u);
            EXPECT_EQ(in.u32(), 1u);
            LogFont back = emf::readLogFont(in);
            EXPECT_EQ(back, f);
        }
        if (type == emf::EMR_EXTTEXTOUTA && !sawText) {
            sawText = true;
            in.skip(16);
            EXPECT_EQ(in.u32(), 1u); // iGraphicsMode
            in.skip(8);
            EXPECT_EQ(in.i32(), 300);
            EXPECT_EQ(in.i32(), 423);
            EXPECT_EQ(in.u32(), 5u);  // nChars
            EXPECT_EQ(in.u32(), 76u); // offString
            EXPECT_EQ(in.u32(), 0u);  // fOptions
            in.skip(16);
            EXPECT_EQ(in.u32(), 76u + 8u); // offDx: the string padded to 4
            auto s = std::span(bytes).subspan(at + 76, 5);
            EXPECT_EQ(std::string(s.begin(), s.end()), "\xa5\xb3\xc4 x") << "DOS bytes unchanged";
            ByteReader dx(std::span<const uint8_t>(bytes).subspan(at + 84, 20));
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(dx.i32(), 254);
        }
        at += size;
    }
    EXPECT_TRUE(sawFont);
    EXPECT_TRUE(sawText);
}

TEST(EmfRecorder, ShapesAndStateRecordsAreValid)
{
    EmfRecorder rec(Size{21000, 29700});
    GdiObject pen = rec.createPen({kPsSolid, 20, 0x0000FF});
    GdiObject brush = rec.createBrush({kBsSolid, 0x00FF00, 0});
    rec.selectObject(pen);
    rec.selectObject(brush);
    rec.saveDC();
    rec.setMapMode(kMmAnisotropic);
    rec.setWindowExt({1000, 1000});
    rec.setViewportExt({500, 500});
    rec.setWindowOrg({10, 10});
    rec.setViewportOrg({0, 0});
    rec.rectangle({100, 100, 2000, 900});
    rec.moveTo({0, 0});
    rec.lineTo({500, 500});
    Point pts[3] = {{0, 0}, {100, 50}, {50, 100}};
    rec.polyline(pts);
    rec.polygon(pts);
    rec.extTextOutW({10, 10}, 0, nullptr, u"Zażółć", {});
    EXPECT_TRUE(rec.restoreDC(-1));
    EXPECT_FALSE(rec.restoreDC(-1)) << "nothing left to restore";
    EXPECT_EQ(rec.windowOrg(), (Point{0, 0}));
    rec.selectObject(stockObject(StockObject::BlackPen));
    rec.deleteObject(pen);
    rec.deleteObject(brush);
    EXPECT_FALSE(rec.deleteObject(pen));
    EmfCheck c = checkEmf(rec.finish());
    EXPECT_TRUE(c.ok) << c.error;
    EXPECT_EQ(emf::parseHeader(rec.finish())->nHandles, 3);
}

TEST(EmfRecorder, ExtremeValuesFromForeignPicturesAreRecordedSafely)
{
    // A picture played through a recorder may carry any numbers; none may overflow.
    EmfRecorder rec(Size{21000, 29700});
    LogFont f;
    f.height = INT32_MIN;
    GdiObject font = rec.createFont(f);
    rec.selectObject(font);
    rec.setTextAlign(24);
    int32_t dx[2] = {INT32_MAX, INT32_MAX};
    EXPECT_TRUE(rec.extTextOutA({INT32_MAX, INT32_MIN}, 0, nullptr, "ab", dx));
    EXPECT_TRUE(rec.extTextOutA({0, 0}, 0, nullptr, std::string_view(), {}));
    EmfCheck c = checkEmf(rec.finish());
    EXPECT_TRUE(c.ok) << c.error;
}

TEST(EmfFormat, AShortHeaderWithHugeSizesParses)
{
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    w.u32(emf::EMR_HEADER);
    w.u32(emf::kMinHeaderSize);
    w.zeros(32);
    w.u32(emf::kSignature);
    w.u32(emf::kVersion);
    w.u32(emf::kMinHeaderSize); // nBytes
    w.u32(1);
    w.zeros(16);
    w.i32(100);
    w.i32(100);
    w.i32(INT32_MAX); // szlMillimeters
    w.i32(INT32_MIN);
    auto h = emf::parseHeader(bytes);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->micrometers.cx, INT32_MAX);
    EXPECT_EQ(h->micrometers.cy, INT32_MIN);
}
