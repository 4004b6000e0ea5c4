#include "PageImage.h"
#include "PainterDevice.h"
#include "CourierFont.h"
#include "gdi/EmfFormat.h"
#include "gdi/EmfRecorder.h"

#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace quillon;
using quillon::test::courierNew;

namespace {

constexpr int kDpi = 300;
// The text runs start here, in 0.01 mm: 118.11 pixels at 300 dpi on both axes.
constexpr Point kRef{1000, 1000};
constexpr double kRefPixels = 1000.0 / 2540.0 * kDpi;
constexpr int32_t kCellHeight = 423; // 6 lines per inch
constexpr int32_t kCellWidth = 254;  // 10 characters per inch
constexpr double kCellPixels = 254.0 / 2540.0 * kDpi; // 30 pixels

LogFont courier(int32_t weight = 400, uint8_t charSet = kOemCharset)
{
    return courierNew(kCellHeight, kCellWidth, weight, charSet);
}

// Draws on a white 300-dpi image with a device mapped at 0.01 mm per logical unit, as the
// preview does.
QImage render(const std::function<void(PainterDevice&)>& draw, DosCodePage cp = DosCodePage::Cp852)
{
    QImage image(640, 240, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PainterDevice device(painter, cp);
    device.setMapMode(kMmAnisotropic);
    device.setWindowExt({2540, 2540});
    device.setViewportExt({kDpi, kDpi});
    draw(device);
    painter.end();
    return image;
}

// One text run of bytes in Courier New at the reference point, one cell per byte.
QImage renderRun(std::string_view bytes, int32_t weight = 400, DosCodePage cp = DosCodePage::Cp852)
{
    return render(
        [&](PainterDevice& dc) {
            GdiObject font = dc.createFont(courier(weight));
            dc.selectObject(font);
            dc.setTextAlign(kTaBaseline);
            dc.setBkMode(kTransparent);
            std::vector<int32_t> dx(bytes.size(), kCellWidth);
            dc.extTextOutA(kRef, 0, nullptr, bytes, dx);
        },
        cp);
}

bool isInk(QRgb p) { return qGray(p) < 160; }

// The bounding box of the ink in columns [x0, x1) of the image (all rows); empty when none.
QRect inkBox(const QImage& image, int x0 = 0, int x1 = -1)
{
    if (x1 < 0)
        x1 = image.width();
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x) {
            if (isInk(line[x])) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Sum of darkness (255 - grey) over the image.
double darkness(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            sum += 255 - qGray(line[x]);
    }
    return sum;
}

// Pixel columns of cell i of the run: [start, end).
int cellStart(int i) { return int(std::floor(kRefPixels + i * kCellPixels)); }
int cellEnd(int i) { return int(std::ceil(kRefPixels + (i + 1) * kCellPixels)); }

// The ink-weighted centre column of [x0, x1).
double inkCentre(const QImage& image, int x0, int x1)
{
    double sum = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = x0; x < x1; ++x) {
            double w = 255 - qGray(line[x]);
            sum += w * (x + 0.5);
            weight += w;
        }
    }
    return weight > 0 ? sum / weight : -1;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Text geometry with the real fonts

TEST(PainterDeviceText, CourierNewResolvesToLiberationMono)
{
    QFont f(QStringLiteral("Courier New"));
    EXPECT_EQ(QRawFont::fromFont(f).familyName(), QStringLiteral("Liberation Mono"));
    QFont fallback(QString::fromLatin1(PainterDevice::kFallbackFace));
    EXPECT_EQ(QRawFont::fromFont(fallback).familyName(), QStringLiteral("DejaVu Sans Mono"));
}

TEST(PainterDeviceText, RunOfTenCellsLandsInItsCellsOnTheBaseline)
{
    QImage image = renderRun("HHHHHHHHHH");
    QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());

    // Each H sits in the middle of its own 30-pixel cell.
    for (int i : {0, 1, 5, 9}) {
        double centre = inkCentre(image, cellStart(i), cellEnd(i));
        EXPECT_NEAR(centre, kRefPixels + (i + 0.5) * kCellPixels, 1.0) << "cell " << i;
    }
    EXPECT_GE(ink.left(), cellStart(0));
    EXPECT_LT(ink.left(), cellStart(0) + 10);
    EXPECT_LE(ink.right(), cellEnd(9));
    EXPECT_GT(ink.right(), cellEnd(9) - 10);
    // Nothing outside the run.
    EXPECT_TRUE(inkBox(image, 0, cellStart(0)).isNull());
    EXPECT_TRUE(inkBox(image, cellEnd(9), image.width()).isNull());

    // The H stands on the baseline, and its height follows from a 49.96-pixel cell
    // (Liberation Mono: ascent + descent = 2320/2048 em, cap height 1349/2048 em).
    EXPECT_NEAR(ink.bottom() + 1, kRefPixels, 1.0);
    const double em = kCellHeight / 2540.0 * kDpi / (2320.0 / 2048.0);
    EXPECT_NEAR(ink.height(), em * 1349.0 / 2048.0, 1.5);
}

TEST(PainterDeviceText, TopAndRightAlignmentMoveTheRun)
{
    QImage image = render([](PainterDevice& dc) {
        dc.selectObject(dc.createFont(courier()));
        dc.setTextAlign(kTaTop | kTaRight);
        std::vector<int32_t> dx(3, kCellWidth);
        dc.extTextOutA(kRef, 0, nullptr, "HHH", dx);
    });
    QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());
    // Right-aligned: the run ends at the reference point; top: the cell starts there, so the
    // baseline lies one ascent (1705/2048 em) below.
    EXPECT_LE(ink.right(), int(kRefPixels) + 1);
    EXPECT_GT(ink.left(), kRefPixels - 3 * kCellPixels - 1);
    const double em = kCellHeight / 2540.0 * kDpi / (2320.0 / 2048.0);
    EXPECT_NEAR(ink.bottom() + 1, kRefPixels + em * 1705.0 / 2048.0, 1.5);
}

TEST(PainterDeviceText, BoldIsDarkerThanRegular)
{
    double regular = darkness(renderRun("HHHHHHHHHH", 400));
    double bold = darkness(renderRun("HHHHHHHHHH", 700));
    EXPECT_GT(bold, regular * 1.25);
}

TEST(PainterDeviceText, BoxDrawingByteDrawsALineAcrossItsCells)
{
    // CP852 0xC4 is U+2500: three of them make one unbroken line.
    QImage image = renderRun("\xC4\xC4\xC4");
    QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());
    EXPECT_LE(ink.height(), 6) << "a thin horizontal line";
    EXPECT_LE(ink.left(), cellStart(0) + 1);
    EXPECT_GE(ink.right(), cellEnd(2) - 2);
    int row = ink.center().y();
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
    for (int x = cellStart(0) + 2; x < cellEnd(2) - 2; ++x)
        ASSERT_TRUE(isInk(line[x])) << "gap at column " << x;
}

TEST(PainterDeviceText, PolishLetterDrawsWithItsOgonekBelowTheBaseline)
{
    // CP852 0xA5 is U+0105 (a with ogonek).
    QImage image = renderRun("\xA5");
    QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());
    EXPECT_GE(ink.left(), cellStart(0));
    EXPECT_LE(ink.right(), cellEnd(0));
    EXPECT_GT(ink.bottom() + 1, kRefPixels + 3) << "the ogonek hangs below the baseline";
}

TEST(PainterDeviceText, ControlBytesTakeTheirCellButShowNothing)
{
    QImage image = renderRun("H\x01\x7FH");
    QRect first = inkBox(image, cellStart(0), cellEnd(0));
    QRect last = inkBox(image, cellStart(3), cellEnd(3));
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(last.isNull());
    EXPECT_TRUE(inkBox(image, cellEnd(0), cellStart(3)).isNull());
    EXPECT_NEAR(last.left() - first.left(), 3 * kCellPixels, 1.0);
}

TEST(PainterDeviceText, CharacterMissingFromTheFaceComesFromTheFallbackFace)
{
    // No byte of CP852, CP437 or Mazovia is missing from Liberation Mono, so a wide character
    // shows the fallback: U+25C6 (black diamond) is in DejaVu Sans Mono only.
    QFont courierNew(QStringLiteral("Courier New"));
    ASSERT_FALSE(QRawFont::fromFont(courierNew).supportsCharacter(0x25C6u));
    QImage image = render([](PainterDevice& dc) {
        dc.selectObject(dc.createFont(courier()));
        dc.setTextAlign(kTaBaseline);
        int32_t dx[] = {kCellWidth, kCellWidth, kCellWidth};
        dc.extTextOutW(kRef, 0, nullptr, u"H\u25C6H", dx);
    });
    QRect diamond = inkBox(image, cellStart(1) + 1, cellEnd(1) - 1);
    ASSERT_FALSE(diamond.isNull());
    EXPECT_GT(diamond.width(), 10);
    EXPECT_GT(diamond.height(), 10);
    // A filled diamond: ink in the middle, none in the corners (the missing-glyph box of the
    // face would be an empty frame).
    auto at = [&](int x, int y) { return isInk(image.pixel(x, y)); };
    EXPECT_TRUE(at(diamond.center().x(), diamond.center().y()));
    EXPECT_FALSE(at(diamond.left() + 1, diamond.top() + 1));
    EXPECT_FALSE(at(diamond.right() - 1, diamond.bottom() - 1));
    // The cell stays a cell: the next H is where it belongs.
    EXPECT_NEAR(inkCentre(image, cellStart(2), cellEnd(2)), kRefPixels + 2.5 * kCellPixels, 1.0);
}

TEST(PainterDeviceText, OpaqueOptionFillsTheRectangleInTheBackgroundColour)
{
    QImage image = render([](PainterDevice& dc) {
        dc.selectObject(dc.createFont(courier()));
        dc.setBkColor(0x0000FF); // red
        Rect box{0, 0, 500, 500};
        dc.setBkMode(kTransparent);
        dc.extTextOutA(kRef, 2 /*ETO_OPAQUE*/, &box, "", {});
        dc.setBkMode(kOpaque);
        dc.extTextOutA(kRef, 0, &box, "", {});
    });
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 255, 255)) << "no fill: transparent mode, or no ETO_OPAQUE";
    QImage filled = render([](PainterDevice& dc) {
        dc.setBkColor(0x0000FF);
        Rect box{0, 0, 500, 500};
        dc.extTextOutA(kRef, 2 /*ETO_OPAQUE*/, &box, "", {});
    });
    EXPECT_EQ(filled.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(filled.pixel(80, 80), qRgb(255, 255, 255));
}

// ---------------------------------------------------------------------------------------------
// Objects, state and shapes

TEST(PainterDeviceState, SelectedObjectsCannotBeDeletedAndRestoreBringsBackState)
{
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    PainterDevice dc(painter, DosCodePage::Cp852);
    GdiObject font = dc.createFont(courier());
    EXPECT_EQ(dc.selectObject(font), stockObject(StockObject::SystemFont));
    EXPECT_FALSE(dc.deleteObject(font));
    EXPECT_FALSE(dc.deleteObject(stockObject(StockObject::BlackPen)));
    EXPECT_FALSE(dc.deleteObject(12345));

    int level = dc.saveDC();
    dc.setTextColor(0xFF);
    dc.setWindowOrg({5, 6});
    dc.selectObject(stockObject(StockObject::OemFixedFont));
    EXPECT_TRUE(dc.restoreDC(level));
    EXPECT_EQ(dc.windowOrg(), (Point{0, 0}));
    EXPECT_EQ(dc.setTextColor(0), 0u);
    EXPECT_EQ(dc.selectObject(stockObject(StockObject::OemFixedFont)), font);
    EXPECT_TRUE(dc.deleteObject(font));
    EXPECT_FALSE(dc.restoreDC(-1));
}

TEST(PainterDeviceState, PainterStateIsLeftAsFound)
{
    QImage image(100, 100, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.translate(3, 4);
    QTransform before = painter.transform();
    PainterDevice dc(painter, DosCodePage::Cp852);
    dc.setMapMode(kMmAnisotropic);
    dc.setWindowExt({2, 2});
    dc.setViewportExt({1, 1});
    dc.selectObject(dc.createPen({kPsSolid, 4, 0xFF}));
    dc.rectangle({0, 0, 10, 10});
    dc.extTextOutA({10, 10}, 0, nullptr, "x", {});
    EXPECT_EQ(painter.transform(), before);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::black));
    EXPECT_EQ(dc.logicalToDevice().map(QPointF(10, 10)), QPointF(5, 5));
}

TEST(PainterDeviceShapes, PensBrushesAndLinesDrawWhereMapped)
{
    QImage image = render([](PainterDevice& dc) {
        GdiObject pen = dc.createPen({kPsSolid, 50, 0x000000}); // 0.5 mm: 6 pixels
        GdiObject brush = dc.createBrush({kBsSolid, 0x00FF00, 0});
        dc.selectObject(pen);
        dc.selectObject(brush);
        dc.rectangle({1000, 500, 2000, 1500}); // 118..236 x 59..177 pixels
        dc.selectObject(stockObject(StockObject::NullBrush));
        dc.moveTo({3000, 1000});
        dc.lineTo({4000, 1000});
        Point tri[] = {{4500, 500}, {5000, 1500}, {4500, 1500}};
        dc.selectObject(dc.createBrush({kBsSolid, 0xFF0000, 0}));
        dc.polygon(tri);
    });
    EXPECT_EQ(image.pixel(177, 118), qRgb(0, 255, 0)) << "rectangle filled";
    EXPECT_EQ(qGray(image.pixel(118, 118)), 0) << "rectangle outline";
    EXPECT_EQ(qGray(image.pixel(400, 118)), 0) << "line";
    EXPECT_EQ(image.pixel(400, 100), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(550, 160), qRgb(0, 0, 255)) << "polygon filled";
}

// ---------------------------------------------------------------------------------------------
// Whole pages

namespace {

std::vector<uint8_t> samplePage()
{
    EmfRecorder rec(Size{21000, 29700});
    rec.setTextAlign(kTaBaseline);
    rec.setBkMode(kTransparent);
    const char* lines[] = {
        "\xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB",
        "\xBA  FAKTURA VAT 12/24 \xBA",
        "\xBA Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4  \xBA", // Zażółć gęślą jaźń
        "\xC8\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBC",
        "Razem: 1 234,56 z\x88  \xC4\xC4\xC4\xC4 \x01\x7F|",
    };
    int32_t y = 423;
    int i = 0;
    for (const char* line : lines) {
        LogFont f = courier(i == 1 ? 700 : 400);
        GdiObject font = rec.createFont(f);
        GdiObject old = rec.selectObject(font);
        std::string_view s = line;
        std::vector<int32_t> dx(s.size(), kCellWidth);
        rec.extTextOutA({0, y}, 0, nullptr, s, dx);
        rec.selectObject(old);
        rec.deleteObject(font);
        y += kCellHeight;
        ++i;
    }
    // A condensed line (17 cpi) and a double-width one.
    for (int32_t width : {149, 508}) {
        LogFont f = courier();
        f.width = width;
        GdiObject font = rec.createFont(f);
        GdiObject old = rec.selectObject(font);
        std::string_view s = "Condensed/Wide 0123";
        std::vector<int32_t> dx(s.size(), width);
        rec.extTextOutA({0, y}, 0, nullptr, s, dx);
        rec.selectObject(old);
        rec.deleteObject(font);
        y += kCellHeight;
    }
    // A rule and a box under the text.
    GdiObject pen = rec.createPen({kPsSolid, 20, 0});
    GdiObject oldPen = rec.selectObject(pen);
    rec.moveTo({0, 5000});
    rec.lineTo({10000, 5000});
    rec.rectangle({0, 5500, 3000, 6000});
    rec.selectObject(oldPen);
    rec.deleteObject(pen);
    return rec.finish();
}

} // namespace

TEST(PageImage, PageIsDrawnAtTheMarginsOnASheetOfTheRightSize)
{
    std::vector<uint8_t> page = samplePage();
    QImage image = renderPageImage(page, {21000, 29700}, {1000, 1500}, 150, DosCodePage::Cp852);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1240, 1754));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    // For a look at the result: QUILLON_PNG_DIR=/tmp quillon_platform_tests
    if (qEnvironmentVariableIsSet("QUILLON_PNG_DIR")) {
        const QString dir = qEnvironmentVariable("QUILLON_PNG_DIR");
        image.save(dir + QStringLiteral("/quillon_page_150dpi.png"));
        renderPageImage(page, {21000, 29700}, {1000, 1500}, 600, DosCodePage::Cp852)
            .copy(0, 0, 2400, 1000)
            .save(dir + QStringLiteral("/quillon_page_600dpi_top.png"));
    }

    QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());
    // The left margin of 10 mm is 59 pixels; the first baseline is 4.23 mm below the top margin.
    EXPECT_NEAR(ink.left(), 59, 2);
    EXPECT_GT(ink.top(), 1500 / 2540.0 * 150);
    // The frame: 22 cells of 2.54 mm (15 pixels) on four lines of 4.23 mm whose baselines lie
    // 1500 + 423 .. 1500 + 4 * 423 below the top. Its corners stand in the first and last cell,
    // centred on the run.
    QImage frameRows = image.copy(0, 0, image.width(), int((1500 + 4 * 423) / 2540.0 * 150) + 3);
    QRect frame = inkBox(frameRows);
    EXPECT_GE(frame.left(), 59);
    EXPECT_LT(frame.left(), 59 + 15);
    EXPECT_GE(frame.right(), 59 + 21 * 15);
    EXPECT_LT(frame.right(), 59 + 22 * 15);
    EXPECT_NEAR((frame.left() + frame.right() + 1) / 2.0, 59 + 11 * 15, 1.0);
    const double firstCellTop = (1500 + 423) / 2540.0 * 150 - 423 / 2540.0 * 150 * 1705.0 / 2320.0;
    EXPECT_GT(frame.top(), firstCellTop);
}

TEST(PageImage, DamagedPicturesGiveANullImageOrWhatCouldBeDrawn)
{
    std::vector<uint8_t> page = samplePage();
    std::vector<uint8_t> garbage(page.size(), 0x5A);
    EXPECT_TRUE(renderPageImage(garbage, {21000, 29700}, {}, 100, DosCodePage::Cp852).isNull());
    EXPECT_TRUE(renderPageImage({}, {21000, 29700}, {}, 100, DosCodePage::Cp852).isNull());
    EXPECT_TRUE(renderPageImage(page, {0, 29700}, {}, 100, DosCodePage::Cp852).isNull());
    EXPECT_TRUE(renderPageImage(page, {2000000000, 2000000000}, {}, 600, DosCodePage::Cp852).isNull());

    std::vector<uint8_t> cut(page.begin(), page.begin() + long(page.size() / 2));
    QImage image = renderPageImage(cut, {21000, 29700}, {}, 100, DosCodePage::Cp852);
    ASSERT_FALSE(image.isNull());
    EXPECT_FALSE(inkBox(image).isNull()) << "the first lines are drawn";
}

TEST(PageImage, EveryByteChangeOfAPageStillRenders)
{
    // The player checks the records; the painter device must cope with whatever values pass:
    // huge or negative fonts, sizes and coordinates.
    const std::vector<uint8_t> page = samplePage();
    int drawn = 0;
    for (size_t i = emf::kHeaderSize; i < page.size(); ++i) {
        for (uint8_t value : {uint8_t(page[i] ^ 0xFF), uint8_t(0x7F)}) {
            std::vector<uint8_t> pic = page;
            pic[i] = value;
            QImage image = renderPageImage(pic, {21000, 29700}, {1000, 1000}, 20, DosCodePage::Cp852);
            ASSERT_FALSE(image.isNull()) << i;
            drawn += !inkBox(image).isNull();
        }
    }
    EXPECT_GT(drawn, 0);
}
