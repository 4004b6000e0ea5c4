// Dot pictures (1-bit printer graphics) on the surfaces users see: PNG and preview images drawn
// from page pictures, and PDF documents.

#include "core/TestFiles.h"
#include "CourierFont.h"
#include "PageImage.h"
#include "PainterDevice.h"
#include "PdfPrinter.h"
#include "PdfTools.h"
#include "gdi/EmfRecorder.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <vector>

using namespace quillon;
using namespace quillon::test;

namespace {

// Dots packed as MonoBitmap wants them, set by a rule.
struct Dots {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> rows;
    Dots(int32_t w, int32_t h, const std::function<bool(int, int)>& on)
        : width(w), height(h), rows(size_t((w + 7) / 8) * size_t(h))
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (on(x, y))
                    rows[size_t(y) * size_t((w + 7) / 8) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    }
    MonoBitmap bitmap() const { return {width, height, rows}; }
};

// A text run of capital Ms in Courier New, 10 cpi, its baseline at y.
void drawText(DrawingContext& dc, int32_t x, int32_t y, int cells)
{
    const GdiObject font = dc.createFont(courierNew());
    const GdiObject old = dc.selectObject(font);
    dc.setTextAlign(kTaBaseline);
    dc.setBkMode(kTransparent);
    const std::string text(size_t(cells), 'M');
    const std::vector<int32_t> dx(size_t(cells), 254);
    dc.extTextOutA({x, y}, 0, nullptr, text, dx);
    dc.selectObject(old);
    dc.deleteObject(font);
}

// A picture of the text run with, optionally, a dot picture laid over it.
std::vector<uint8_t> page(const Dots* dots, Rect dest)
{
    EmfRecorder rec(Size{21000, 29700});
    drawText(rec, 1000, 1400, 10);
    if (dots)
        rec.drawMonoBitmap(dest, dots->bitmap());
    return rec.finish();
}

// Draws onto a white image of the sheet at dpi with a device of 0.01 mm per logical unit, as
// the preview does, with the painter's opacity (a picture drawn twice somewhere shows darker).
QImage draw(int dpi, qreal opacity, const std::function<void(PainterDevice&)>& paint)
{
    QImage image(int(std::lround(6000 / 2540.0 * dpi)), int(std::lround(4000 / 2540.0 * dpi)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    PainterDevice dc(painter, DosCodePage::Cp852);
    dc.setMapMode(kMmAnisotropic);
    dc.setWindowExt({2540, 2540});
    dc.setViewportExt({dpi, dpi});
    paint(dc);
    return image;
}

void savePng(const QImage& image, const char* name)
{
    // For a look: QUILLON_PNG_DIR=/tmp quillon_platform_tests --gtest_filter='DotPicture*'
    if (qEnvironmentVariableIsSet("QUILLON_PNG_DIR"))
        image.save(qEnvironmentVariable("QUILLON_PNG_DIR") + QLatin1Char('/') + QLatin1String(name));
}

} // namespace

TEST(DotPictureImage, PaperBitsLeaveTheTextBeneathAndDotsAreBlackWhereTheyBelong)
{
    // 120 x 24 dots at 120 x 72 dpi over the text run: a one-dot frame and a block in the middle.
    // The rest is paper, over the Ms.
    const Dots dots(120, 24, [](int x, int y) { return x == 0 || y == 0 || x == 119 || y == 23 || (x >= 50 && x < 70 && y >= 8 && y < 16); });
    const Rect dest{1000, 1000, 1000 + 120 * 2540 / 120, 1000 + 24 * 2540 / 72};
    const double dotW = (dest.right - dest.left) / 120.0, dotH = (dest.bottom - dest.top) / 24.0;
    for (int dpi : {150, 300, 600}) {
        SCOPED_TRACE(dpi);
        const QImage text = renderPageImage(page(nullptr, {}), {21000, 29700}, {}, dpi, DosCodePage::Cp852);
        const QImage both = renderPageImage(page(&dots, dest), {21000, 29700}, {}, dpi, DosCodePage::Cp852);
        ASSERT_FALSE(both.isNull());
        if (dpi == 300)
            savePng(both.copy(0, 0, 700, 250), "quillon_dots_over_text_300dpi.png");
        const double unitsPerPixel = 2540.0 / dpi;
        // Whether any or all of the dots under a square of side `reach` pixels around the centre of
        // pixel (x, y) are set (none when it lies off the picture).
        auto under = [&](int x, int y, double reach, bool& any, bool& all) {
            const double u0 = ((x + 0.5 - reach / 2) * unitsPerPixel - dest.left) / dotW;
            const double u1 = ((x + 0.5 + reach / 2) * unitsPerPixel - dest.left) / dotW;
            const double v0 = ((y + 0.5 - reach / 2) * unitsPerPixel - dest.top) / dotH;
            const double v1 = ((y + 0.5 + reach / 2) * unitsPerPixel - dest.top) / dotH;
            any = false;
            all = true;
            for (int dy = int(std::floor(v0)); dy < int(std::ceil(v1)); ++dy) {
                for (int dx = int(std::floor(u0)); dx < int(std::ceil(u1)); ++dx) {
                    const bool on = dx >= 0 && dy >= 0 && dx < 120 && dy < 24
                                 && (dots.rows[size_t(dy) * 15 + size_t(dx / 8)] & (0x80 >> (dx % 8)));
                    any = any || on;
                    all = all && on;
                }
            }
        };
        // Within a pixel of where it belongs, a dot is black and paper is what lay beneath.
        int black = 0, beneath = 0, textUnderPaper = 0;
        const int w = int(4000 / unitsPerPixel), h = int(2000 / unitsPerPixel);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bool any, all;
                under(x, y, 3.0, any, all);
                if (!any) {
                    ASSERT_EQ(both.pixel(x, y), text.pixel(x, y)) << x << "," << y;
                    ++beneath;
                    const bool insideFrame = x * unitsPerPixel > dest.left && x * unitsPerPixel < dest.right
                                          && y * unitsPerPixel > dest.top && y * unitsPerPixel < dest.bottom;
                    textUnderPaper += insideFrame && qGray(text.pixel(x, y)) < 128;
                    continue;
                }
                under(x, y, 1.0, any, all);
                if (all) {
                    ASSERT_EQ(both.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
                    ++black;
                }
            }
        }
        EXPECT_GT(black, (20 * 8) * dotW * dotH / unitsPerPixel / unitsPerPixel * 0.5);
        EXPECT_GT(beneath, w * h / 2);
        EXPECT_GT(textUnderPaper, 100) << "the text shows through the paper bits";
    }
}

TEST(DotPictureImage, BandsOneUnderAnotherMeetWithoutGapOrOverlap)
{
    // Three bands of 8 dots at 72 dpi (an integer number of units each, as the dot grid gives
    // them) and 60 dpi across, every dot set, drawn at half opacity: a gap shows white, an
    // overlap darker.
    const Dots full(100, 8, [](int, int) { return true; });
    const int32_t left = 500, top = 700, band = 282, right = left + 100 * 2540 / 60;
    for (int dpi : {96, 150, 300, 600, 37}) {
        SCOPED_TRACE(dpi);
        const QImage image = draw(dpi, 0.5, [&](PainterDevice& dc) {
            for (int i = 0; i < 3; ++i)
                dc.drawMonoBitmap({left, top + i * band, right, top + (i + 1) * band}, full.bitmap());
        });
        const double scale = dpi / 2540.0;
        auto px = [&](double units) { return int(std::floor(units * scale + 0.5)); };
        const QRect covered(QPoint(px(left), px(top)), QPoint(px(right) - 1, px(top + 3 * band) - 1));
        const QRgb half = image.pixel(covered.center());
        EXPECT_NEAR(qGray(half), 128, 2);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), covered.contains(x, y) ? half : qRgb(255, 255, 255)) << x << "," << y;
    }
}

TEST(DotPictureImage, ShrunkThinLinesStayVisibleAndEnlargedDotsStayCrisp)
{
    // One-dot lines at 240 dpi, every 12th column and row of 240 x 48 dots.
    const Dots grid(240, 48, [](int x, int y) { return x % 12 == 0 || y % 12 == 0; });
    const Rect dest{500, 500, 500 + 2540, 500 + 48 * 2540 / 240};
    // At 40 dpi six dots make a pixel: every line still shows as grey.
    const QImage small = draw(40, 1.0, [&](PainterDevice& dc) { dc.drawMonoBitmap(dest, grid.bitmap()); });
    savePng(small, "quillon_dots_40dpi.png");
    const int top = int(std::floor(500 * 40 / 2540.0 + 0.5));
    for (int line = 0; line < 20; ++line) {
        const int x = int(std::floor((500 + line * 12 * 2540.0 / 240) * 40 / 2540.0 + 0.5));
        EXPECT_LT(qGray(small.pixel(x, top + 3)), 240) << "column line " << line;
    }
    // At 600 dpi a dot is 2.5 pixels: only black and white, nothing in between.
    const QImage large = draw(600, 1.0, [&](PainterDevice& dc) { dc.drawMonoBitmap(dest, grid.bitmap()); });
    savePng(large.copy(0, 0, 500, 300), "quillon_dots_600dpi.png");
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            ASSERT_TRUE(large.pixel(x, y) == qRgb(0, 0, 0) || large.pixel(x, y) == qRgb(255, 255, 255)) << x << "," << y;
}

TEST(DotPicturePdf, APageOfDotsIsAStencilMaskOverTheText)
{
    TempDir dir;
    const std::string out = dir.file("dots.pdf");
    // Dots in the left half only; the right half is paper over the text.
    const Dots dots(240, 24, [](int x, int y) { return x < 120 && (x + y) % 3 == 0; });
    {
        PdfFilePrinter printer(out, DosCodePage::Cp852);
        ASSERT_TRUE(printer.selectDefaultPrinter());
        ASSERT_TRUE(printer.beginDoc());
        DrawingContext* dc = printer.pageSurface();
        ASSERT_NE(dc, nullptr);
        drawText(*dc, 1000, 1400, 20);
        dc->drawMonoBitmap({1000, 1000, 1000 + 240 * 2540 / 120, 1000 + 24 * 2540 / 72}, dots.bitmap());
        ASSERT_TRUE(printer.endDoc());
        ASSERT_TRUE(printer.finish()) << printer.lastError();
    }
    const QString images = runTool("pdfimages", {"-list", QString::fromStdString(out)});
    const QStringList lines = images.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << images.toStdString(); // two header lines, one image
    const QStringList cols = lines[2].simplified().split(QLatin1Char(' '));
    EXPECT_EQ(cols[2], QStringLiteral("stencil")) << images.toStdString();
    EXPECT_EQ(cols[3], QStringLiteral("240"));
    EXPECT_EQ(cols[4], QStringLiteral("24"));
    EXPECT_EQ(cols[7], QStringLiteral("1")) << "1 bit a dot";
    EXPECT_EQ(pdfText(out).find("MMMMMMMMMMMMMMMMMMMM") != std::string::npos, true) << pdfText(out);

    // Rendered: dots black in the left half; in the right half only the text, as without dots.
    runTool("pdftoppm", {"-r", "300", "-gray", "-png", "-singlefile", QString::fromStdString(out),
                         QString::fromStdString(dir.file("dots"))});
    const QImage shown(QString::fromStdString(dir.file("dots.png")));
    ASSERT_FALSE(shown.isNull());
    savePng(shown.copy(0, 0, 900, 300), "quillon_dots_pdf_300dpi.png");
    auto inkIn = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += qGray(shown.pixel(x, y)) < 128;
        return n;
    };
    const int left = 1000 * 300 / 2540, middle = 3540 * 300 / 2540, right = 6080 * 300 / 2540;
    const int top = 1000 * 300 / 2540, bottom = 1000 * 300 / 2540 + 24 * 300 / 72;
    const int dotArea = (middle - left) * (bottom - top);
    EXPECT_NEAR(inkIn(left, middle, top, bottom), dotArea / 3.0, dotArea / 10.0) << "a third of the left half is dots";
    EXPECT_GT(inkIn(middle + 10, right, top, bottom), 200) << "the text shows through the paper";
    EXPECT_LT(inkIn(middle + 10, right, top, bottom), (right - middle) * (bottom - top) / 3) << "and only the text";
}

TEST(DotPictureImage, HugeOrTinyDestinationsDrawOnlyWhatTheSurfaceShows)
{
    // Values a damaged picture can hand over: the surface shows a piece of one enormous dot, and
    // a picture far smaller than a pixel still leaves a mark.
    const Dots full(8, 8, [](int, int) { return true; });
    const QImage huge = draw(300, 1.0, [&](PainterDevice& dc) {
        dc.drawMonoBitmap({INT32_MIN / 4, INT32_MIN / 4, INT32_MAX / 4, INT32_MAX / 4}, full.bitmap());
    });
    EXPECT_EQ(huge.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(huge.pixel(huge.width() - 1, huge.height() - 1), qRgb(0, 0, 0));
    const QImage tiny = draw(300, 1.0, [&](PainterDevice& dc) { dc.drawMonoBitmap({1000, 1000, 1001, 1001}, full.bitmap()); });
    EXPECT_LT(qGray(tiny.pixel(118, 118)), 255);
}
