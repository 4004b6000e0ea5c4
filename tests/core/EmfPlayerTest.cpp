#include "gdi/ByteIO.h"
#include "gdi/EmfFormat.h"
#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"

#include "GdiObjectBook.h"
#include "CourierFont.h"

#include <gtest/gtest.h>
#include <uemf.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace quillon;
using quillon::test::courierNew;

namespace {

// A drawing context that records what it is asked to draw and checks that it is used correctly:
// the rules of its objects (GdiObjectBook), and no mapping call ever arrives (the player keeps a
// picture's mapping to itself).
class FakeDc : public DrawingContext {
public:

    struct Text {
        Point ref;
        uint32_t options = 0;
        std::optional<Rect> clip;
        std::string bytes;
        std::u16string wide;
        bool isWide = false;
        std::vector<int32_t> dx;
        GdiObject font = 0;
        uint32_t align = 0;
    };

    GdiObject createFont(const LogFont& f) override
    {
        const GdiObject h = objects.create(GdiObjectKind::Font);
        fonts[h] = f;
        return h;
    }
    GdiObject createPen(const LogPen& p) override
    {
        const GdiObject h = objects.create(GdiObjectKind::Pen);
        pens[h] = p;
        return h;
    }
    GdiObject createBrush(const LogBrush& b) override
    {
        const GdiObject h = objects.create(GdiObjectKind::Brush);
        brushes[h] = b;
        return h;
    }
    GdiObject selectObject(GdiObject o) override
    {
        const GdiObject previous = objects.select(o);
        if (previous != 0)
            selections.push_back(o);
        return previous;
    }
    bool deleteObject(GdiObject o) override { return objects.remove(o); }

    uint32_t setTextAlign(uint32_t a) override { return std::exchange(align, a); }
    ColorRef setTextColor(ColorRef c) override { return std::exchange(textColor, c); }
    ColorRef setBkColor(ColorRef c) override { return std::exchange(bkColor, c); }
    int setBkMode(int m) override { return std::exchange(bkMode, m); }

    int setMapMode(int) override { return mappingCall("setMapMode"), kMmText; }
    void setWindowExt(Size) override { mappingCall("setWindowExt"); }
    void setWindowOrg(Point) override { mappingCall("setWindowOrg"); }
    void setViewportExt(Size) override { mappingCall("setViewportExt"); }
    void setViewportOrg(Point) override { mappingCall("setViewportOrg"); }
    Point windowOrg() const override { return {}; }
    int saveDC() override { return mappingCall("saveDC"), 0; }
    bool restoreDC(int) override { return mappingCall("restoreDC"), false; }

    bool extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                     std::span<const int32_t> dx) override
    {
        Text t = text(ref, options, clip, dx, bytes.size());
        t.bytes = bytes;
        texts.push_back(std::move(t));
        return true;
    }
    bool extTextOutW(Point ref, uint32_t options, const Rect* clip, std::u16string_view s,
                     std::span<const int32_t> dx) override
    {
        Text t = text(ref, options, clip, dx, s.size());
        t.wide = s;
        t.isWide = true;
        texts.push_back(std::move(t));
        return true;
    }

    void moveTo(Point p) override { ops.push_back("M" + str(p)); }
    void lineTo(Point p) override { ops.push_back("L" + str(p)); }
    void rectangle(const Rect& r) override
    {
        ops.push_back("R" + str({r.left, r.top}) + str({r.right, r.bottom}));
    }
    void polyline(std::span<const Point> pts) override { ops.push_back("PL" + str(pts)); }
    void polygon(std::span<const Point> pts) override { ops.push_back("PG" + str(pts)); }
    void drawMonoBitmap(const Rect&, const MonoBitmap&) override { ops.push_back("BM"); }

    // The state a player must leave behind.
    void expectUntouched() const
    {
        EXPECT_TRUE(objects.empty()) << objects.live() << " objects left in the dc";
        EXPECT_EQ(objects.selected(GdiObjectKind::Font), stockObject(StockObject::SystemFont));
        EXPECT_EQ(objects.selected(GdiObjectKind::Pen), stockObject(StockObject::BlackPen));
        EXPECT_EQ(objects.selected(GdiObjectKind::Brush), stockObject(StockObject::WhiteBrush));
        EXPECT_EQ(align, 0u);
        EXPECT_EQ(textColor, 0x123456u);
        EXPECT_EQ(bkColor, 0xABCDEFu);
        EXPECT_EQ(bkMode, kOpaque);
        EXPECT_TRUE(misuse.empty()) << misuse.front();
    }

    std::map<GdiObject, LogFont> fonts;
    std::map<GdiObject, LogPen> pens;
    std::map<GdiObject, LogBrush> brushes;
    std::vector<GdiObject> selections;
    uint32_t align = 0;
    ColorRef textColor = 0x123456;
    ColorRef bkColor = 0xABCDEF;
    int bkMode = kOpaque;
    std::vector<Text> texts;
    std::vector<std::string> ops;
    std::vector<std::string> misuse;
    // Handles unlike the picture's table indexes, so a mix-up shows.
    test::GdiObjectBook objects{&misuse, 1001, 7};

private:
    void mappingCall(const char* what) { misuse.push_back(std::string("mapping call ") + what); }
    Text text(Point ref, uint32_t options, const Rect* clip, std::span<const int32_t> dx, size_t n)
    {
        if (!dx.empty() && dx.size() != n)
            misuse.push_back("advances do not match the characters");
        Text t;
        t.ref = ref;
        t.options = options;
        if (clip)
            t.clip = *clip;
        t.dx.assign(dx.begin(), dx.end());
        t.font = objects.selected(GdiObjectKind::Font);
        t.align = align;
        return t;
    }
    static std::string str(Point p) { return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")"; }
    static std::string str(std::span<const Point> pts)
    {
        std::string s;
        for (Point p : pts)
            s += str(p);
        return s;
    }
};

// Builds pictures record by record, for what the recorder never writes (foreign mapping, damage).
class PictureBuilder {
public:
    explicit PictureBuilder(Size device = {21000, 29700}, Size mm = {210, 297}, uint16_t handles = 8)
        : m_w(m_bytes)
    {
        emf::Header h;
        h.frame = {0, 0, device.cx, device.cy};
        h.device = device;
        h.millimeters = mm;
        h.nHandles = handles;
        emf::writeHeader(m_w, h);
        m_records = 1;
    }

    PictureBuilder& record(uint32_t type, std::initializer_list<int32_t> values)
    {
        m_w.u32(type);
        m_w.u32(uint32_t(8 + 4 * values.size()));
        for (int32_t v : values)
            m_w.i32(v);
        ++m_records;
        return *this;
    }
    // A record with arbitrary bytes after its type and size (padded to 4).
    PictureBuilder& raw(uint32_t type, const std::vector<uint8_t>& body)
    {
        m_w.u32(type);
        m_w.u32(uint32_t(8 + ((body.size() + 3) & ~size_t(3))));
        m_w.bytes(body.data(), body.size());
        m_w.zeros(((body.size() + 3) & ~size_t(3)) - body.size());
        ++m_records;
        return *this;
    }
    PictureBuilder& font(uint32_t index, const LogFont& f)
    {
        m_w.u32(emf::EMR_EXTCREATEFONTINDIRECTW);
        m_w.u32(emf::kExtCreateFontSize);
        m_w.u32(index);
        emf::writeLogFont(m_w, f);
        ++m_records;
        return *this;
    }
    // EMR_EXTTEXTOUTA/W with the string and advances where a writer normally puts them; the
    // offsets can be overridden to make damaged records.
    PictureBuilder& text(uint32_t type, Point ref, std::u16string chars, std::vector<int32_t> dx,
                         uint32_t options = 0, Rect rcl = {},
                         std::optional<uint32_t> offString = {}, std::optional<uint32_t> offDx = {},
                         std::optional<uint32_t> nChars = {})
    {
        bool wide = type == emf::EMR_EXTTEXTOUTW;
        size_t stringBytes = (chars.size() * (wide ? 2 : 1) + 3) & ~size_t(3);
        uint32_t size = uint32_t(emf::kExtTextOutFixedSize + stringBytes + 4 * dx.size());
        m_w.u32(type);
        m_w.u32(size);
        m_w.zeros(16);
        m_w.u32(emf::kGmCompatible);
        m_w.f32(0);
        m_w.f32(0);
        m_w.i32(ref.x);
        m_w.i32(ref.y);
        m_w.u32(nChars.value_or(uint32_t(chars.size())));
        m_w.u32(offString.value_or(emf::kExtTextOutFixedSize));
        m_w.u32(options);
        m_w.i32(rcl.left);
        m_w.i32(rcl.top);
        m_w.i32(rcl.right);
        m_w.i32(rcl.bottom);
        m_w.u32(offDx.value_or(dx.empty() ? 0 : uint32_t(emf::kExtTextOutFixedSize + stringBytes)));
        size_t start = m_w.size();
        for (char16_t c : chars) {
            if (wide)
                m_w.u16(uint16_t(c));
            else
                m_w.u8(uint8_t(c));
        }
        m_w.zeros(stringBytes - (m_w.size() - start));
        for (int32_t d : dx)
            m_w.i32(d);
        ++m_records;
        return *this;
    }
    PictureBuilder& poly(uint32_t type, std::vector<Point> pts)
    {
        bool shortPoints = type == emf::EMR_POLYLINE16 || type == emf::EMR_POLYGON16;
        m_w.u32(type);
        m_w.u32(uint32_t(28 + pts.size() * (shortPoints ? 4 : 8)));
        m_w.zeros(16);
        m_w.u32(uint32_t(pts.size()));
        for (Point p : pts) {
            if (shortPoints) {
                m_w.u16(uint16_t(p.x));
                m_w.u16(uint16_t(p.y));
            } else {
                m_w.i32(p.x);
                m_w.i32(p.y);
            }
        }
        ++m_records;
        return *this;
    }
    std::vector<uint8_t> finish(bool withEof = true)
    {
        if (withEof)
            record(emf::EMR_EOF, {0, 16, 20});
        m_w.patchU32(emf::kNBytesOffset, uint32_t(m_bytes.size()));
        m_w.patchU32(emf::kNRecordsOffset, m_records);
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
    ByteWriter m_w;
    uint32_t m_records = 0;
};


std::vector<int32_t> cells(size_t n, int32_t width) { return std::vector<int32_t>(n, width); }

// A page as the renderer records it: several fonts, text runs with one advance per byte, a
// rule drawn with a pen, fonts created and deleted per run.
std::vector<uint8_t> realPage()
{
    EmfRecorder rec(Size{21000, 29700});
    rec.setTextAlign(kTaBaseline);
    rec.setBkMode(kTransparent);
    rec.setTextColor(0);
    const char* lines[] = {"FAKTURA VAT nr 123/2024", "\xA5\xA4\x86\x8F \xC4\xC4\xC4\xC4 \x01\x7F",
                           "Razem do zap\x88" "aty:   1 234,56 z\x88", "Dzi\xA9kujemy"};
    int32_t y = 1500;
    for (int i = 0; i < 4; ++i) {
        int32_t width = i % 2 ? 254 : 152;
        GdiObject f = rec.createFont(courierNew(423, width, i == 0 ? 700 : 400));
        GdiObject old = rec.selectObject(f);
        std::string_view s = lines[i];
        auto dx = cells(s.size(), width);
        rec.extTextOutA({1000, y}, 0, nullptr, s, dx);
        rec.selectObject(old);
        rec.deleteObject(f);
        y += 423;
    }
    GdiObject pen = rec.createPen({kPsSolid, 20, 0});
    GdiObject oldPen = rec.selectObject(pen);
    rec.moveTo({1000, y});
    rec.lineTo({20000, y});
    Point box[] = {{1000, 100}, {2000, 100}, {2000, 600}, {1000, 600}};
    rec.polygon(box);
    rec.rectangle({3000, 100, 4000, 600});
    rec.selectObject(oldPen);
    rec.deleteObject(pen);
    // The last font stays selected and undeleted: the player must clean it up.
    GdiObject last = rec.createFont(courierNew(-300, 0));
    rec.selectObject(last);
    rec.extTextOutW({1000, y + 500}, 0, nullptr, u"\u0105\u017C", {});
    return rec.finish();
}

PlayResult play(const std::vector<uint8_t>& pic, FakeDc& dc, Point origin = {})
{
    return playEmf(pic, dc, origin);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The program's own pictures

// The checks below lean on the fake: every rule a player could break must be written down.
TEST(EmfPlayerFakeDc, EveryBrokenObjectRuleIsRefusedAndWrittenDown)
{
    FakeDc dc;
    const GdiObject pen = dc.createPen(LogPen{});
    EXPECT_EQ(dc.selectObject(pen), stockObject(StockObject::BlackPen));
    EXPECT_FALSE(dc.deleteObject(pen)) << "deleted while selected";
    dc.selectObject(stockObject(StockObject::NullPen));
    EXPECT_TRUE(dc.deleteObject(pen));
    EXPECT_FALSE(dc.deleteObject(pen)) << "deleted twice";
    EXPECT_EQ(dc.selectObject(pen), 0u) << "selected after its deletion";
    EXPECT_EQ(dc.selectObject(stockObject(StockObject::DefaultPalette)), 0u) << "a palette is no font, pen or brush";
    EXPECT_FALSE(dc.deleteObject(stockObject(StockObject::WhiteBrush)));
    dc.setMapMode(kMmAnisotropic);
    EXPECT_EQ(dc.misuse.size(), 6u);
    EXPECT_EQ(dc.objects.selected(GdiObjectKind::Pen), stockObject(StockObject::NullPen));
    EXPECT_TRUE(dc.objects.empty());
}

TEST(EmfPlayerOwnPictures, TextWithAdvancesReachesDcOffsetByOrigin)
{
    EmfRecorder rec(Size{21000, 29700});
    GdiObject f = rec.createFont(courierNew(423, 254, 700));
    rec.selectObject(f);
    rec.setTextAlign(kTaBaseline);
    rec.setTextColor(0x0000FF);
    rec.setBkMode(kTransparent);
    int32_t dx[] = {254, 254, 254};
    rec.extTextOutA({100, 200}, 0, nullptr, "A\xA5\x01", dx);
    std::vector<uint8_t> pic = rec.finish();

    FakeDc dc;
    PlayResult r = play(pic, dc, {1000, 2000});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.recordsPlayed, 8u); // header, font, select, align, colour, mode, text, EOF

    ASSERT_EQ(dc.texts.size(), 1u);
    const FakeDc::Text& t = dc.texts[0];
    EXPECT_EQ(t.ref, (Point{1100, 2200}));
    EXPECT_EQ(t.bytes, "A\xA5\x01");
    EXPECT_EQ(t.dx, (std::vector<int32_t>{254, 254, 254}));
    EXPECT_EQ(t.align, kTaBaseline);
    EXPECT_FALSE(t.clip);
    ASSERT_TRUE(dc.fonts.count(t.font));
    EXPECT_EQ(dc.fonts[t.font], courierNew(423, 254, 700));
    dc.expectUntouched();
}

TEST(EmfPlayerOwnPictures, RealPagePlaysCompletelyAndCleansUp)
{
    std::vector<uint8_t> pic = realPage();
    auto header = emf::parseHeader(pic);
    ASSERT_TRUE(header);
    FakeDc dc;
    PlayResult r = play(pic, dc, {500, 700});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.recordsPlayed, header->nRecords);
    ASSERT_EQ(dc.texts.size(), 5u);
    EXPECT_EQ(dc.texts[1].bytes, "\xA5\xA4\x86\x8F \xC4\xC4\xC4\xC4 \x01\x7F");
    EXPECT_EQ(dc.texts[3].ref, (Point{1500, 1500 + 3 * 423 + 700}));
    EXPECT_EQ(dc.texts[4].wide, u"\u0105\u017C");
    EXPECT_TRUE(dc.texts[4].dx.empty());
    EXPECT_EQ(dc.fonts[dc.texts[4].font].height, -300);
    EXPECT_EQ(dc.ops.size(), 4u);
    EXPECT_EQ(dc.ops[1], "L(20500,3892)");
    dc.expectUntouched();
}

// ---------------------------------------------------------------------------------------------
// Pictures of other writers: header scale and mapping records

TEST(EmfPlayerMapping, HeaderScalesDeviceUnitsToHundredthsOfMillimetre)
{
    // A 300-dpi reference device: 2480 x 3508 pixels on 210 x 297 mm.
    PictureBuilder b({2480, 3508}, {210, 297});
    b.font(1, courierNew(50, 30)).record(emf::EMR_SELECTOBJECT, {1});
    b.text(emf::EMR_EXTTEXTOUTA, {300, 600}, u"AB", {30, 30});
    FakeDc dc;
    PlayResult r = play(b.finish(), dc, {10, 20});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(dc.texts.size(), 1u);
    // 21000 / 2480 = 8.4677 per pixel across, 29700 / 3508 = 8.4664 down.
    EXPECT_EQ(dc.texts[0].ref, (Point{10 + 2540, 20 + 5080}));
    EXPECT_EQ(dc.texts[0].dx, (std::vector<int32_t>{254, 254}));
    EXPECT_EQ(dc.fonts[dc.texts[0].font].height, 423);
    EXPECT_EQ(dc.fonts[dc.texts[0].font].width, 254);
}

TEST(EmfPlayerMapping, AbsurdHeaderSizesFallBackToOneToOne)
{
    for (Size mm : {Size{0, 0}, Size{-5, 100}, Size{2000000000, 2000000000}}) {
        PictureBuilder b({1000, 1000}, mm);
        b.record(emf::EMR_RECTANGLE, {10, 20, 30, 40});
        FakeDc dc;
        ASSERT_TRUE(play(b.finish(), dc).ok);
        ASSERT_EQ(dc.ops.size(), 1u);
        EXPECT_EQ(dc.ops[0], "R(10,20)(30,40)") << mm.cx;
    }
}

TEST(EmfPlayerMapping, AnisotropicWindowAndViewportScaleCoordinatesFontsAndAdvances)
{
    PictureBuilder b;
    b.record(emf::EMR_SETMAPMODE, {kMmAnisotropic})
        .record(emf::EMR_SETWINDOWORGEX, {100, 200})
        .record(emf::EMR_SETWINDOWEXTEX, {1000, 1000})
        .record(emf::EMR_SETVIEWPORTEXTEX, {500, 500})
        .record(emf::EMR_SETVIEWPORTORGEX, {40, 60})
        .font(1, courierNew(-846, 508))
        .record(emf::EMR_SELECTOBJECT, {1})
        .record(emf::EMR_CREATEPEN, {2, int32_t(kPsSolid), 40, 0, 0xFF})
        .record(emf::EMR_SELECTOBJECT, {2})
        // 3 advances of 507 / 2 = 253.5: their running sum is rounded, not each one.
        .text(emf::EMR_EXTTEXTOUTA, {300, 600}, u"abc", {507, 507, 507})
        .record(emf::EMR_MOVETOEX, {100, 200})
        .record(emf::EMR_LINETO, {1100, 1200})
        .poly(emf::EMR_POLYLINE16, {{100, 200}, {300, 400}});
    FakeDc dc;
    PlayResult r = play(b.finish(), dc, {1000, 1000});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.texts[0].ref, (Point{1000 + 40 + 100, 1000 + 60 + 200}));
    int32_t sum = 0;
    for (int32_t d : dc.texts[0].dx)
        sum += d;
    EXPECT_EQ(sum, 761); // round(1521 / 2)
    const LogFont& f = dc.fonts[dc.texts[0].font];
    EXPECT_EQ(f.height, -423);
    EXPECT_EQ(f.width, 254);
    EXPECT_EQ(dc.pens.begin()->second.width, 20);
    EXPECT_EQ(dc.ops, (std::vector<std::string>{"M(1040,1060)", "L(1540,1560)",
                                                "PL(1040,1060)(1140,1160)"}));
    dc.expectUntouched(); // includes: no mapping call reached dc
}

// A picture written by another EMF writer (libUEMF): a 96-dpi reference device, an anisotropic
// mapping, a font in the long ENUMLOGFONTEXDV form, wide text with advances and a pen.
TEST(EmfPlayerMapping, PictureOfAnotherWriterPlaysThroughItsMapping)
{
    char path[] = "/tmp/quillon-player-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);

    EMFTRACK* et = nullptr;
    EMFHANDLES* eht = nullptr;
    ASSERT_EQ(emf_start(path, 100000, 25000, &et), 0);
    ASSERT_EQ(emf_htable_create(128, 128, &eht), 0);
    // 1024 x 768 pixels on 320 x 240 mm: 31.25 hundredths of a millimetre per pixel.
    U_RECTL frame = rectl_set(pointl_set(0, 0), pointl_set(32000, 24000));
    emf_append((PU_ENHMETARECORD)U_EMRHEADER_set(frame, frame, nullptr, 0, nullptr, sizel_set(1024, 768),
                                                 sizel_set(320, 240), 0),
               et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMRSETVIEWPORTEXTEX_set(sizel_set(500, 500)), et, U_REC_FREE);

    uint16_t* face = U_Utf8ToUtf16le("Courier New", 0, nullptr);
    U_LOGFONT lf = logfont_set(-32, 16, 0, 0, U_FW_BOLD, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
                               U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_FIXED_PITCH, face);
    free(face);
    uint16_t* full = U_Utf8ToUtf16le("Courier New Bold", 0, nullptr);
    uint16_t* style = U_Utf8ToUtf16le("Bold", 0, nullptr);
    U_LOGFONT_PANOSE elfw = logfont_panose_set(lf, full, style, 0, panose_set(0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    free(full);
    free(style);
    uint32_t font = 0;
    emf_append((PU_ENHMETARECORD)extcreatefontindirectw_set(&font, eht, nullptr, (const char*)&elfw), et,
               U_REC_FREE);
    emf_append((PU_ENHMETARECORD)selectobject_set(font, eht), et, U_REC_FREE);
    uint32_t pen = 0;
    emf_append((PU_ENHMETARECORD)createpen_set(&pen, eht, logpen_set(U_PS_SOLID, point32_set(4, 4),
                                                                      colorref3_set(255, 0, 0))),
               et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)selectobject_set(pen, eht), et, U_REC_FREE);

    uint16_t* text = U_Utf8ToUtf16le("Zażółć", 0, nullptr);
    uint32_t dx[6] = {20, 20, 20, 20, 20, 20};
    char* emrtext = emrtext_set(pointl_set(200, 400), 6, 2, text, U_ETO_NONE, U_RCL_DEF, dx);
    free(text);
    emf_append((PU_ENHMETARECORD)U_EMREXTTEXTOUTW_set(U_RCL_DEF, U_GM_COMPATIBLE, 1.0f, 1.0f,
                                                      (PU_EMRTEXT)emrtext),
               et, U_REC_FREE);
    free(emrtext);
    U_POINT16 line[2] = {point16_set(0, 0), point16_set(1000, 2000)};
    emf_append((PU_ENHMETARECORD)U_EMRPOLYLINE16_set(U_RCL_DEF, 2, line), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMREOF_set(0, nullptr, et), et, U_REC_FREE);
    ASSERT_EQ(emf_finish(et, eht), 0);
    emf_free(&et);
    emf_htable_free(&eht);

    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> pic((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    ASSERT_GT(pic.size(), 300u);

    FakeDc dc;
    PlayResult r = playEmf(pic, dc, {100, 200});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(dc.texts.size(), 1u);
    const FakeDc::Text& t = dc.texts[0];
    // Half a pixel per logical unit, 31.25 hundredths of a millimetre per pixel.
    EXPECT_EQ(t.ref, (Point{100 + 3125, 200 + 6250}));
    EXPECT_EQ(t.wide, u"Za\u017C\u00F3\u0142\u0107");
    EXPECT_EQ(t.dx, (std::vector<int32_t>{313, 312, 313, 312, 313, 312}));
    const LogFont& f = dc.fonts[t.font];
    EXPECT_EQ(f.faceName, u"Courier New");
    EXPECT_EQ(f.height, -500);
    EXPECT_EQ(f.width, 250);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(dc.pens.begin()->second.width, 63);
    EXPECT_EQ(dc.pens.begin()->second.color, 0x0000FFu);
    EXPECT_EQ(dc.ops, (std::vector<std::string>{"PL(100,200)(15725,31450)"}));
    dc.expectUntouched();
}

TEST(EmfPlayerMapping, FixedModesUseTheirUnitAndFlipY)
{
    struct Case {
        int mode;
        Point logical;
        Point expected;
    };
    const Case cases[] = {
        {kMmText, {100, 50}, {100, 50}},
        {kMmLoMetric, {100, -50}, {1000, 500}},
        {kMmHiMetric, {100, -50}, {100, 50}},
        {kMmLoEnglish, {100, -10}, {2540, 254}},
        {kMmHiEnglish, {1000, -100}, {2540, 254}},
        {kMmTwips, {1440, -720}, {2540, 1270}},
    };
    for (const Case& c : cases) {
        PictureBuilder b;
        b.record(emf::EMR_SETMAPMODE, {c.mode})
            // Extents count only in the scalable modes.
            .record(emf::EMR_SETWINDOWEXTEX, {7, 7})
            .record(emf::EMR_MOVETOEX, {c.logical.x, c.logical.y});
        FakeDc dc;
        ASSERT_TRUE(play(b.finish(), dc).ok);
        ASSERT_EQ(dc.ops.size(), 1u);
        EXPECT_EQ(dc.ops[0], "M(" + std::to_string(c.expected.x) + "," + std::to_string(c.expected.y) + ")")
            << "mode " << c.mode;
    }
}

TEST(EmfPlayerMapping, IsotropicKeepsTheSmallerScaleOnBothAxes)
{
    PictureBuilder b;
    b.record(emf::EMR_SETMAPMODE, {kMmIsotropic})
        .record(emf::EMR_SETWINDOWEXTEX, {1000, 1000})
        .record(emf::EMR_SETVIEWPORTEXTEX, {500, -250})
        .record(emf::EMR_MOVETOEX, {400, 400});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    EXPECT_EQ(dc.ops, (std::vector<std::string>{"M(100,-100)"}));
}

TEST(EmfPlayerMapping, SaveAndRestoreBringBackMappingSelectionsAndTextState)
{
    PictureBuilder b;
    b.font(1, courierNew(100, 50))
        .font(2, courierNew(200, 100))
        .record(emf::EMR_SELECTOBJECT, {1})
        .record(emf::EMR_SETTEXTCOLOR, {0x0000FF})
        .record(emf::EMR_SAVEDC, {})
        .record(emf::EMR_SETMAPMODE, {kMmLoMetric})
        .record(emf::EMR_SELECTOBJECT, {2})
        .record(emf::EMR_SETTEXTCOLOR, {0x00FF00})
        .record(emf::EMR_SAVEDC, {})
        .record(emf::EMR_SETTEXTCOLOR, {0xFF0000})
        .record(emf::EMR_RESTOREDC, {-2}) // back past both saves
        .text(emf::EMR_EXTTEXTOUTA, {10, 10}, u"x", {})
        .record(emf::EMR_RESTOREDC, {-1}) // nothing left to restore: ignored
        .record(emf::EMR_DELETEOBJECT, {1})
        .record(emf::EMR_DELETEOBJECT, {2});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.texts[0].ref, (Point{10, 10}));
    EXPECT_EQ(dc.fonts[dc.texts[0].font].height, 100);
    EXPECT_EQ(dc.textColor, 0x123456u); // put back at the end
    dc.expectUntouched();
}

// ---------------------------------------------------------------------------------------------
// Objects

TEST(EmfPlayerObjects, PictureHandlesMapToDcHandlesAndAreAllDeletedAtTheEnd)
{
    PictureBuilder b;
    b.font(1, courierNew(423, 254))
        .record(emf::EMR_CREATEPEN, {2, int32_t(kPsSolid), 10, 0, 0x00FF00})
        .record(emf::EMR_CREATEBRUSHINDIRECT, {3, int32_t(kBsSolid), 0x0000FF, 0})
        .record(emf::EMR_SELECTOBJECT, {1})
        .record(emf::EMR_SELECTOBJECT, {2})
        .record(emf::EMR_SELECTOBJECT, {3})
        .record(emf::EMR_RECTANGLE, {0, 0, 10, 10})
        .font(1, courierNew(100, 60)) // re-created over a selected object: the old one is kept
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"a", {})
        .record(emf::EMR_SELECTOBJECT, {1})
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"b", {});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    ASSERT_EQ(dc.texts.size(), 2u);
    EXPECT_EQ(dc.fonts[dc.texts[0].font].height, 423);
    EXPECT_EQ(dc.fonts[dc.texts[1].font].height, 100);
    EXPECT_EQ(dc.selections.size(), 4u + 3u); // four by the picture, three put back
    for (size_t i = 0; i < 4; ++i)
        EXPECT_GT(dc.selections[i], 1000u) << "picture index passed to dc";
    EXPECT_EQ(dc.objects.deleted(), 4);
    dc.expectUntouched();
}

TEST(EmfPlayerObjects, ObjectDeletedWhileSelectedStaysUsableUntilDeselected)
{
    PictureBuilder b;
    b.font(1, courierNew(423, 254))
        .record(emf::EMR_SELECTOBJECT, {1})
        .record(emf::EMR_DELETEOBJECT, {1})
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"a", {})
        .record(emf::EMR_SELECTOBJECT, {int32_t(stockObject(StockObject::OemFixedFont))})
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"b", {});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    ASSERT_EQ(dc.texts.size(), 2u);
    EXPECT_EQ(dc.fonts[dc.texts[0].font].height, 423);
    EXPECT_EQ(dc.texts[1].font, stockObject(StockObject::OemFixedFont));
    EXPECT_EQ(dc.objects.deleted(), 1);
    dc.expectUntouched();
}

TEST(EmfPlayerObjects, HandlesOutsideTheTableAndUnknownStockObjectsAreIgnored)
{
    PictureBuilder b({21000, 29700}, {210, 297}, /*handles*/ 2);
    b.font(0, courierNew(1, 1))                 // index 0 is the picture itself
        .font(2, courierNew(2, 2))              // past nHandles
        .font(-1, courierNew(3, 3))             // a huge index
        .record(emf::EMR_SELECTOBJECT, {5})  // nothing there
        .record(emf::EMR_SELECTOBJECT, {int32_t(kStockFlag | 15)}) // the palette
        .record(emf::EMR_SELECTOBJECT, {int32_t(kStockFlag | 99)})
        .record(emf::EMR_DELETEOBJECT, {int32_t(kStockFlag | 4)})
        .record(emf::EMR_DELETEOBJECT, {1});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    EXPECT_TRUE(dc.fonts.empty());
    EXPECT_TRUE(dc.selections.empty());
    dc.expectUntouched();
}

// ---------------------------------------------------------------------------------------------
// Records

TEST(EmfPlayerRecords, UnknownRecordsAreSkipped)
{
    PictureBuilder b;
    b.record(2, {0, 0, 10, 10, 1, 5, 5}) // EMR_POLYBEZIER
        .record(9999, {1, 2, 3})
        .raw(70, std::vector<uint8_t>(40, 0xEE)) // EMR_GDICOMMENT
        .record(emf::EMR_HEADER, {})           // a stray header
        .text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"ok", {});
    FakeDc dc;
    PlayResult r = play(b.finish(), dc);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.recordsPlayed, 7u);
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.texts[0].bytes, "ok");
}

TEST(EmfPlayerRecords, WideTextWithAndWithoutAdvances)
{
    PictureBuilder b;
    b.text(emf::EMR_EXTTEXTOUTW, {5, 6}, u"\u0104\u2500z", {10, 20, 30})
        .text(emf::EMR_EXTTEXTOUTW, {5, 6}, u"abc", {}) // offDx 0: the font's own advances
        .text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"", {});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    ASSERT_EQ(dc.texts.size(), 3u);
    EXPECT_TRUE(dc.texts[0].isWide);
    EXPECT_EQ(dc.texts[0].wide, u"\u0104\u2500z");
    EXPECT_EQ(dc.texts[0].dx, (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(dc.texts[1].wide, u"abc");
    EXPECT_TRUE(dc.texts[1].dx.empty());
    EXPECT_TRUE(dc.texts[2].bytes.empty());
}

TEST(EmfPlayerRecords, OpaqueRectangleIsPassedAsClipAndTextAlignKeepsUpdateCpToItself)
{
    PictureBuilder b;
    b.text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"a", {10}, emf::kEtoOpaque, {1, 2, 30, 40})
        .text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"b", {10}, 0, {1, 2, 30, 40})
        .record(emf::EMR_SETTEXTALIGN, {int32_t(kTaBaseline | kTaUpdateCp)})
        .record(emf::EMR_MOVETOEX, {100, 200})
        .text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"cd", {10, 15})
        .text(emf::EMR_EXTTEXTOUTA, {5, 6}, u"e", {10});
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    ASSERT_EQ(dc.texts.size(), 4u);
    EXPECT_EQ(dc.texts[0].options, emf::kEtoOpaque);
    EXPECT_EQ(dc.texts[0].clip, (Rect{1, 2, 30, 40}));
    EXPECT_FALSE(dc.texts[1].clip);
    EXPECT_EQ(dc.texts[2].align, kTaBaseline);
    EXPECT_EQ(dc.texts[2].ref, (Point{100, 200}));
    EXPECT_EQ(dc.texts[3].ref, (Point{125, 200}));
}

TEST(EmfPlayerRecords, ShapesArePassedWithTheirPoints)
{
    PictureBuilder b;
    b.record(emf::EMR_LINETO, {10, 10}) // from the initial position (0,0)
        .poly(emf::EMR_POLYGON, {{1, 2}, {3, 4}, {5, 6}})
        .poly(emf::EMR_POLYLINE, {{7, 8}})
        .poly(emf::EMR_POLYGON16, {{-1, -2}, {30000, 4}})
        .record(emf::EMR_RECTANGLE, {30, 40, 10, 20}); // normalised
    FakeDc dc;
    ASSERT_TRUE(play(b.finish(), dc).ok);
    EXPECT_EQ(dc.ops, (std::vector<std::string>{"M(0,0)", "L(10,10)", "PG(1,2)(3,4)(5,6)", "PL(7,8)",
                                                "PG(-1,-2)(30000,4)", "R(10,20)(30,40)"}));
}

// ---------------------------------------------------------------------------------------------
// Damaged pictures

TEST(EmfPlayerDamage, BadRecordSizesStopPlaybackWithAReasonAfterDrawingWhatCame)
{
    struct Case {
        const char* name;
        uint32_t size;
    };
    for (Case c : {Case{"too small", 4}, Case{"not a multiple of 4", 14}, Case{"past the end", 4000}}) {
        PictureBuilder b;
        b.text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"first", {});
        std::vector<uint8_t> pic = b.record(emf::EMR_MOVETOEX, {1, 1})
                                       .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"never", {})
                                       .finish();
        size_t moveAt = emf::kHeaderSize + 76 + 8;
        ByteWriter(pic).patchU32(moveAt + 4, c.size);
        FakeDc dc;
        PlayResult r = play(pic, dc);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_NE(r.error.find("record 3"), std::string::npos) << c.name << ": " << r.error;
        ASSERT_EQ(dc.texts.size(), 1u) << c.name;
        EXPECT_EQ(dc.texts[0].bytes, "first");
        EXPECT_TRUE(dc.ops.empty());
    }
}

TEST(EmfPlayerDamage, CutPictureAndMissingEofAreErrors)
{
    PictureBuilder b;
    b.text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"first", {});
    std::vector<uint8_t> pic = b.finish();
    std::vector<uint8_t> cut(pic.begin(), pic.end() - 20);
    FakeDc dc;
    PlayResult r = play(cut, dc);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cut"), std::string::npos) << r.error;
    EXPECT_EQ(dc.texts.size(), 1u);

    PictureBuilder noEof;
    noEof.record(emf::EMR_MOVETOEX, {1, 1});
    r = play(noEof.finish(false), dc);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("EOF"), std::string::npos) << r.error;

    r = play({}, dc);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.recordsPlayed, 0u);
}

TEST(EmfPlayerDamage, TextWithStringOrAdvancesOutsideItsRecordIsSkippedAlone)
{
    const uint32_t huge = 0xFFFFFFF0u;
    PictureBuilder b;
    b.text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {}, 0, {}, /*offString*/ 200)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {}, 0, {}, huge)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {}, 0, {}, 4) // inside the size fields
        .text(emf::EMR_EXTTEXTOUTW, {0, 0}, u"abcd", {}, 0, {}, {}, {}, /*nChars*/ 5)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {}, 0, {}, {}, {}, huge)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {1, 2, 3, 4}, 0, {}, {}, /*offDx*/ 84)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {1, 2, 3, 4}, 0, {}, {}, huge)
        .text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"abcd", {1, 2, 3, 4}, 0x2000 /*ETO_PDY*/)
        .poly(emf::EMR_POLYLINE, {{1, 1}, {2, 2}});
    std::vector<uint8_t> pic = b.text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"good", {}).finish();
    // The polyline claims more points than it holds.
    size_t polyAt = pic.size() - 20 - 80 - 44;
    ByteWriter(pic).patchU32(polyAt + 24, 3);
    FakeDc dc;
    PlayResult r = play(pic, dc);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(dc.ops.empty());
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.texts[0].bytes, "good");
    EXPECT_TRUE(dc.misuse.empty());
}

TEST(EmfPlayerDamage, CountsInThePictureNeverDriveLoopsOrAllocations)
{
    PictureBuilder b({21000, 29700}, {210, 297}, /*handles*/ 0xFFFF);
    b.poly(emf::EMR_POLYLINE, {{1, 1}});
    for (int i = 0; i < 10000; ++i)
        b.record(emf::EMR_SAVEDC, {});
    b.record(emf::EMR_RESTOREDC, {-10000}) // deeper than what was kept: ignored
        .record(emf::EMR_RESTOREDC, {INT32_MIN})
        .record(emf::EMR_RESTOREDC, {1})
        .font(0xFFFE, courierNew(10, 5))
        .record(emf::EMR_SELECTOBJECT, {0xFFFE});
    // Save and restore with a full handle table: each restore costs the same, whatever the table.
    for (int i = 0; i < 20000; ++i)
        b.record(emf::EMR_SAVEDC, {}).record(emf::EMR_RESTOREDC, {-1});
    b.text(emf::EMR_EXTTEXTOUTA, {0, 0}, u"x", {1});
    std::vector<uint8_t> pic = b.finish();
    ByteWriter(pic).patchU32(emf::kHeaderSize + 24, 0x7FFFFFFF); // the polyline's count
    FakeDc dc;
    PlayResult r = play(pic, dc);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(dc.ops.empty());
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.fonts[dc.texts[0].font].height, 10);
    dc.expectUntouched();
}

// A real page cut at every length and with every byte changed: nothing may crash or hang, and
// the dc is always left as it was.
TEST(EmfPlayerDamage, EveryTruncationAndByteChangeOfARealPageIsSurvived)
{
    const std::vector<uint8_t> page = realPage();
    ASSERT_GT(page.size(), 500u);
    size_t played = 0;
    auto check = [&](const std::vector<uint8_t>& pic, const char* what, size_t at) {
        FakeDc dc;
        PlayResult r = playEmf(pic, dc, {100, 100});
        if (!r.ok) {
            EXPECT_FALSE(r.error.empty()) << what << " " << at;
        }
        played += r.recordsPlayed;
        EXPECT_TRUE(dc.objects.empty()) << what << " at " << at;
        EXPECT_TRUE(dc.misuse.empty()) << what << " at " << at << ": " << dc.misuse.front();
        EXPECT_EQ(dc.objects.selected(GdiObjectKind::Font), stockObject(StockObject::SystemFont)) << what << " at " << at;
        EXPECT_EQ(dc.textColor, 0x123456u) << what << " at " << at;
        return r.ok;
    };

    for (size_t n = 0; n <= page.size(); ++n) {
        std::vector<uint8_t> cut(page.begin(), page.begin() + n);
        bool ok = check(cut, "truncated", n);
        EXPECT_EQ(ok, n == page.size()) << n;
    }
    for (uint8_t mode : {0, 1, 2}) {
        for (size_t i = 0; i < page.size(); ++i) {
            std::vector<uint8_t> pic = page;
            pic[i] = mode == 0 ? uint8_t(pic[i] ^ 0xFF) : mode == 1 ? 0x00 : 0x7F;
            check(pic, mode == 0 ? "flipped" : mode == 1 ? "zeroed" : "0x7F", i);
        }
    }
    std::mt19937 rng(20240611);
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> pic = page;
        int changes = 1 + int(rng() % 8);
        for (int c = 0; c < changes; ++c) {
            size_t at = rng() % pic.size();
            // Mostly small numbers and extremes, where sizes and counts go wrong.
            switch (rng() % 4) {
            case 0: pic[at] = uint8_t(rng()); break;
            case 1: pic[at] = 0xFF; break;
            case 2: pic[at] = uint8_t(rng() % 4); break;
            default: pic[at] = 0x80; break;
            }
        }
        if (rng() % 4 == 0)
            pic.resize(rng() % pic.size());
        check(pic, "random round", size_t(round));
    }
    EXPECT_GT(played, 0u);
}
