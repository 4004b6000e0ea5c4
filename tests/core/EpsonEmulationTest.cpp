// The Epson emulations read as the printers do: every command with its whole length, spacing in
// the family's units, graphics on the dot grid, tabs, attributes, forms and national characters.

#include "escp/epson/EpsonRenderer.h"

#include "PageHandlerHarness.h"

#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <iterator>

using namespace quillon;
using namespace quillon::test;
using epson::EpsonRenderer;

namespace {

class Epson : public PageHandlerHarness<EpsonRenderer> {
public:
    explicit Epson(PrinterEmulation e) : emulation(e)
    {
        renderer.notice = [this](const std::string& n) { notices.push_back(n); };
    }

    std::vector<RecordingContext> render(const std::string& stream, int maxPages = 50)
    {
        return renderPages(stream, 12, maxPages, [this](EpsonRenderer& r) { r.startJob(emulation); });
    }

    // All text of a page, runs joined.
    static std::string text(const RecordingContext& page)
    {
        std::string s;
        for (const TextCall& t : page.texts)
            s += t.bytes;
        return s;
    }

    PrinterEmulation emulation;
    std::vector<std::string> notices;
};

std::string E(std::initializer_list<int> bytes)
{
    std::string s = "\x1b";
    for (int b : bytes)
        s.push_back(char(b));
    return s;
}

// n columns of bit-image data of the given bytes each, every byte b.
std::string columns(int n, int bytesPerColumn, uint8_t b)
{
    return std::string(size_t(n) * size_t(bytesPerColumn), char(b));
}

std::string le(int n) { return {char(n & 0xFF), char(n >> 8)}; }

// One inch in report units at scale 1, of n/d inch.
int32_t inch(long double n, long double d = 1) { return int32_t(std::lrintl(n * 2540.0L / d)); }

} // namespace

TEST(EpsonCommands, ParametersAndDataNeverPrintAsText)
{
    // Parameters and data chosen to be printable letters, so that a wrong length shows as text.
    const std::string common = E({'@'}) + E({'x', '1'}) + E({'k', 'A'}) + E({'s', '1'}) + E({'U', '1'})
        + E({'8'}) + E({'9'}) + E({'3', 'A'}) + E({'A', 'B'}) + E({'J', 'C'}) + E({'l', 'D'})
        + E({'Q', 'z'}) + E({'R', 'E'}) + E({'t', '1'}) + E({'!', 'F'}) + E({'-', '1'})
        + E({'W', 'G'}) + E({' ', 'H'}) + E({'$', 'I', 0}) + E({'\\', 'J', 0}) + E({'a', 'K'})
        + E({'C', 'L'}) + E({'C', 0, 'M'}) + E({'N', 'N'}) + E({'O'}) + E({'D', 'P', 'Q', 0}) + E({'B', 'R', 0})
        + E({'?', 'K', 'S'}) + E({'p', '0'}) + E({'r', 'T'}) + E({'q', 'U'}) + E({':', 0, 'V', 'W'})
        + E({'K'}) + le(3) + "XYZ" + E({'*', 0}) + le(2) + "ab" + E({'j', 'c'}) + E({'!', 0})
        + E({'-', 0}) + E({'W', 0}) + E({'R', 0}) + E({'\x19', 'd'}) + E({'i', 'e'}) + E({'w', '0'});
    {
        Epson fx(PrinterEmulation::Fx);
        const std::string fxOnly = E({'^', 0}) + le(2) + "ghij" + E({'I', 'k'}) + E({'m', 'l'}) + E({'1'})
            + E({'e', 0, 'm'}) + E({'f', 0, 1}) + E({'b', 0, 'n', 0}) + E({'&', 0, 'A', 'A'}) + std::string(12, 'o');
        const auto pages = fx.render(common + fxOnly + E({'@'}) + "OK");
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(Epson::text(pages[0]), "OK");
        EXPECT_TRUE(fx.notices.empty()) << fx.notices.front();
    }
    {
        Epson lq(PrinterEmulation::Lq);
        const std::string lqOnly = E({'+', 'p'}) + E({'*', 39}) + le(2) + "qrstuv" + E({'*', 72}) + le(1) + "wxyzAB"
            + E({'(', 'U', 1, 0, 10}) + E({'(', 'C', 2, 0, 'C', 'D'}) + E({'(', 'c', 4, 0, 'E', 0, 'F', 'G'})
            + E({'(', 'v', 2, 0, 'H', 0}) + E({'(', '-', 3, 0, 1, 1, 'I'}) + E({'(', 'B', 3, 0, 'J', 'K', 'L'})
            + E({'c', 'M', 0}) + E({'X', 0, 'N', 0}) + E({'h', 'O'}) + E({'.', 0, 10, 10, 1}) + le(16) + "PQ"
            + E({'.', 1, 10, 10, 2}) + le(16) + "\xfeR" + std::string("\x00S", 2) + E({'&', 0, 'A', 'A', 0, 2, 0}) + "UVWXYZ";
        const auto pages = lq.render(common + lqOnly + E({'@'}) + "OK");
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(Epson::text(pages[0]), "OK");
        EXPECT_TRUE(lq.notices.empty()) << lq.notices.front();
    }
}

TEST(EpsonCommands, UnknownCommandsAreSkippedByTheFamilysRuleAndToldOncePerJob)
{
    Epson fx(PrinterEmulation::Fx);
    // ESC ( is an LQ command: on a 9-pin printer ESC and its code byte go, the rest prints.
    const auto pages = fx.render("A" + E({'(', 'B'}) + E({'('}) + "C" + E({'+', 'D'}) + "\x00\x07\x7f" + "E");
    EXPECT_EQ(Epson::text(pages[0]), "ABCDE");
    ASSERT_EQ(fx.notices.size(), 2u);
    EXPECT_NE(fx.notices[0].find("ESC ("), std::string::npos);
    EXPECT_NE(fx.notices[1].find("ESC +"), std::string::npos);
    fx.render(E({'('}) + "x");
    EXPECT_EQ(fx.notices.size(), 3u) << "a new job tells again";
}

TEST(EpsonCommands, JobMarkersAreConsumedInEveryFamilyAndEscXIsTheLqPitchCommandLater)
{
    Epson lq(PrinterEmulation::Lq);
    auto pages = lq.render(E({'X', '0'}) + E({'X', 'C'}) + "A" + std::string(20, ' ') + E({'X', 36, 42, 0}) + "B");
    EXPECT_EQ(Epson::text(pages[0]), "A" + std::string(20, ' ') + "B");
    // After the marker bytes ESC X m nL nH sets a pitch of 360/m characters per inch (36: 10 cpi)
    // and a point size in halves.
    EXPECT_EQ(pages[0].texts.back().dx[0], inch(1, 10));
    EXPECT_EQ(pages[0].texts.back().font.height, 2 * pages[0].texts.front().font.height)
        << "42 half points: 21-point characters, twice the printer's 10.5-point ones";

    Epson fx(PrinterEmulation::Fx);
    pages = fx.render(E({'X', '1'}) + "A" + std::string(20, ' ') + E({'X', 'B'}) + "B");
    EXPECT_EQ(Epson::text(pages[0]), "A" + std::string(20, ' ') + "B");
    EXPECT_TRUE(fx.notices.empty());
}

TEST(EpsonSpacing, LineSpacingIsInTheFamilysUnits)
{
    // ESC 3 36 on a 9-pin printer and ESC 3 30 on a 24-pin one are both 1/6 inch; ESC A and ESC +
    // likewise; ESC J feeds without a carriage return.
    struct Case {
        PrinterEmulation e;
        std::string setup;
    } cases[] = {
        {PrinterEmulation::Fx, E({'3', 36})},
        {PrinterEmulation::Fx, E({'A', 12})},
        {PrinterEmulation::Lq, E({'3', 30})},
        {PrinterEmulation::Lq, E({'A', 10})},
        {PrinterEmulation::Lq, E({'+', 60})},
    };
    for (const Case& c : cases) {
        Epson p(c.e);
        const auto pages = p.render(c.setup + "A\r\nB\r\nC\r\n\r\n\r\nD");
        const auto& t = pages[0].texts;
        ASSERT_EQ(t.size(), 4u);
        const int32_t top0 = t[0].ref.y;
        EXPECT_EQ(top0, inch(20, 180)) << "the first line's baseline lies 20/180 inch down";
        EXPECT_EQ(t[1].ref.y - top0, inch(1, 6));
        EXPECT_EQ(t[2].ref.y - top0, inch(2, 6)) << "847, not 2 x 423: positions are rounded, not steps";
        EXPECT_EQ(t[3].ref.y - top0, inch(5, 6));
    }
    Epson fx(PrinterEmulation::Fx);
    auto t = fx.render("AB" + E({'J', 108}) + "C")[0].texts;
    EXPECT_EQ(t[1].ref.y - t[0].ref.y, inch(1, 2));
    EXPECT_EQ(t[1].ref.x - t[0].ref.x, 2 * inch(1, 10)) << "ESC J keeps the column";
    Epson lq(PrinterEmulation::Lq);
    t = lq.render("AB" + E({'J', 90}) + "C" + E({'j', 90}) + "D")[0].texts;
    EXPECT_EQ(t[1].ref.y - t[0].ref.y, inch(1, 2));
    EXPECT_EQ(t[2].ref.y, t[0].ref.y) << "reverse feed";
}

TEST(EpsonGraphics, BandsUnderEachOtherMeetWithNoGapAndNoOverlap)
{
    // Three 24-dot bands at 180 dpi fed by 24/180 inch, and four 8-dot bands of a 9-pin printer
    // fed by 24/216 inch: each stack is one picture of solid rows whose height is the exact sum.
    Epson lq(PrinterEmulation::Lq);
    std::string s = E({'3', 24});
    for (int i = 0; i < 3; ++i)
        s += E({'*', 39}) + le(100) + columns(100, 3, 0xFF) + "\r\n";
    auto pages = lq.render(s);
    ASSERT_EQ(pages[0].bitmaps.size(), 1u);
    const BitmapCall& b = pages[0].bitmaps[0];
    EXPECT_EQ(b.width, 100);
    EXPECT_EQ(b.height, 72);
    EXPECT_EQ(b.dest, (Rect{0, 0, inch(100, 180), inch(72, 180)}));
    for (int r = 0; r < 72; ++r)
        ASSERT_TRUE(b.dot(0, r) && b.dot(99, r)) << "row " << r;

    Epson fx(PrinterEmulation::Fx);
    s = E({'3', 24});
    for (int i = 0; i < 4; ++i)
        s += E({'K'}) + le(60) + columns(60, 1, 0x81) + "\r\n";
    pages = fx.render(s);
    ASSERT_EQ(pages[0].bitmaps.size(), 1u);
    const BitmapCall& f = pages[0].bitmaps[0];
    EXPECT_EQ(f.height, 32);
    EXPECT_EQ(f.dest, (Rect{0, 0, inch(1), inch(32, 72)})) << "60 columns at 60 dpi, 32 dots at 1/72 inch";
    for (int r = 0; r < 32; ++r)
        EXPECT_EQ(f.dot(5, r), r % 8 == 0 || r % 8 == 7) << "row " << r;
}

TEST(EpsonGraphics, DensitiesPinsAndPicturesThatCannotJoinShareTheirEdges)
{
    Epson lq(PrinterEmulation::Lq);
    // ESC K on a 24-pin printer: 8 dots at 1/60 inch; then, one line lower, a 24-dot band at
    // 360 dpi: a second picture whose top is exactly the first one's bottom.
    const std::string s = E({'3', 24}) + E({'K'}) + le(6) + columns(6, 1, 0x80) + "\r\n" + E({'*', 40}) + le(36)
        + columns(36, 3, 0xFF) + "\x0d" + E({'*', 40}) + le(5) + columns(5, 3, 0x00);
    const auto pages = lq.render(s);
    ASSERT_EQ(pages[0].bitmaps.size(), 2u);
    const Rect a = pages[0].bitmaps[0].dest, b = pages[0].bitmaps[1].dest;
    EXPECT_EQ(a, (Rect{0, 0, inch(6, 60), inch(8, 60)}));
    EXPECT_EQ(b.top, a.bottom);
    EXPECT_EQ(b, (Rect{0, inch(24, 180), inch(36, 360), inch(48, 180)}));
    EXPECT_TRUE(pages[0].bitmaps[0].dot(0, 0));
    EXPECT_FALSE(pages[0].bitmaps[0].dot(0, 1));
}

TEST(EpsonGraphics, DataLongerThanAReadAndRasterCompressionAndTheRightMargin)
{
    Epson lq(PrinterEmulation::Lq);
    // 1500 columns of 3 bytes cross the 4000-byte reads; only the 1440 that fit the 8-inch right
    // margin are printed, and the text after the data is in place.
    std::string s = E({'Q', 80}) + E({'*', 39}) + le(1500) + columns(1500, 3, 0x80) + "\r\nA";
    // ESC/P2 raster, run-length: 2 rows of 16 dots, a repeat of 0xF0 then two literal bytes.
    s += E({'.', 1, 10, 10, 2}) + le(16) + "\xff\xf0" + "\x01\x0f\xaa";
    const auto pages = lq.render(s);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Epson::text(pages[0]), "A");
    ASSERT_EQ(pages[0].bitmaps.size(), 2u);
    EXPECT_EQ(pages[0].bitmaps[0].width, 1440);
    const BitmapCall& r = pages[0].bitmaps[1];
    ASSERT_EQ(r.width, 16);
    ASSERT_EQ(r.height, 2);
    EXPECT_EQ(r.rows, (std::vector<uint8_t>{0xF0, 0xF0, 0x0F, 0xAA}));
    EXPECT_EQ(r.dest.right - r.dest.left, inch(16, 360));
}

TEST(EpsonText, TabsStopAfterThePrintPosition)
{
    Epson fx(PrinterEmulation::Fx);
    auto t = fx.render("A\tB\r\nABCDEFGH\tI\r\n" + E({'D', 5, 12, 0}) + "\tC\tD\tE")[0].texts;
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[1].ref.x, inch(8, 10));
    EXPECT_EQ(t[3].ref.x, inch(16, 10)) << "a stop at the print position itself is passed";
    EXPECT_EQ(t[4].ref.x, inch(5, 10));
    EXPECT_EQ(t[5].ref.x, inch(12, 10));
    EXPECT_EQ(t[6].ref.x, inch(13, 10)) << "no stop left: HT does nothing";
}

TEST(EpsonText, MasterSelectSetsEveryAttributeAndCancelsWhatItDoesNotSet)
{
    Epson lq(PrinterEmulation::Lq);
    const auto t = lq.render(E({'E'}) + E({'4'}) + E({'W', 1}) + "A" + E({'!', 0x88}) + "B" + E({'!', 0x04})
                             + "C" + E({'!', 0x61}) + "D")[0].texts;
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].font.weight, 700);
    EXPECT_TRUE(t[0].font.italic);
    EXPECT_EQ(t[0].dx[0], inch(2, 10));
    EXPECT_EQ(t[1].font.weight, 700);
    EXPECT_TRUE(t[1].font.underline);
    EXPECT_FALSE(t[1].font.italic);
    EXPECT_EQ(t[1].dx[0], inch(1, 10)) << "double width cancelled";
    EXPECT_EQ(t[2].font.weight, 400);
    EXPECT_FALSE(t[2].font.underline);
    EXPECT_EQ(t[2].dx[0], inch(7, 120)) << "condensed pica, 17.14 cpi";
    EXPECT_TRUE(t[3].font.italic);
    EXPECT_EQ(t[3].font.width, inch(2, 12)) << "elite, double width";
}

TEST(EpsonText, OneLineDoubleWidthExtraSpaceAndWrapAtTheRightMargin)
{
    Epson fx(PrinterEmulation::Fx);
    auto t = fx.render("\x0e" "AB\r\n" + E({' ', 12}) + "CD" + E({' ', 0}) + E({'Q', 10}) + "\r\n"
                       + "0123456789XY")[0].texts;
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].dx[0], inch(2, 10)) << "SO doubles the line";
    EXPECT_EQ(t[1].dx[0], inch(1, 10) + inch(12, 120)) << "the line feed ended it; ESC SP 12 adds 12/120 inch";
    EXPECT_EQ(t[2].bytes, "0123456789");
    EXPECT_EQ(t[3].bytes, "XY") << "wrapped to the next line";
    EXPECT_EQ(t[3].ref.x, 0);
    EXPECT_EQ(t[3].ref.y - t[2].ref.y, inch(1, 6));
}

TEST(EpsonPage, FormLengthDecidesWhereFormFeedsAndThePageEndFall)
{
    Epson fx(PrinterEmulation::Fx);
    std::string s = E({'C', 10});
    for (int i = 0; i < 12; ++i)
        s += "L" + std::to_string(i) + "\r\n";
    auto pages = fx.render(s);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].texts.size(), 10u);
    EXPECT_EQ(pages[1].texts[0].bytes, "L10");
    EXPECT_EQ(pages[1].texts[0].ref.y, pages[0].texts[0].ref.y) << "the next form starts at its top";

    // A form of 3 inches with a skip over the perforation of 6 lines: 12 lines a form.
    s = E({'C', 0, 3}) + E({'N', 6});
    for (int i = 0; i < 13; ++i)
        s += "L" + std::to_string(i) + "\n";
    pages = fx.render(s + "\x0c");
    ASSERT_EQ(pages.size(), 2u) << "the last form feed leaves no blank sheet";
    EXPECT_EQ(pages[0].texts.size(), 12u);
}

TEST(EpsonPage, AFormLongerThanTheSheetGoesOnSheetsWithNothingLost)
{
    Epson lq(PrinterEmulation::Lq);
    std::string s = E({'C', 0, 22});
    for (int i = 0; i < 100; ++i)
        s += "Line " + std::to_string(i) + "\r\n";
    const auto pages = lq.render(s + "\x0c" + "Next form");
    size_t lines = 0;
    for (size_t p = 0; p + 1 < pages.size(); ++p) {
        lines += pages[p].texts.size();
        for (const TextCall& t : pages[p].texts)
            EXPECT_LE(t.ref.y, 29700);
    }
    EXPECT_EQ(lines, 100u);
    EXPECT_EQ(pages.size(), 3u) << "100 lines of 1/6 inch on A4 sheets, then the next form";
    EXPECT_EQ(pages.back().texts[0].bytes, "Next form");
}

TEST(EpsonCharacters, InternationalSetsItalicTableAndUpperControlCodes)
{
    Epson fx(PrinterEmulation::Fx);
    const auto t = fx.render(E({'R', 2}) + "a[b" + E({'R', 0}) + "[" + "\x88\x86" + E({'t', 0}) + "\xc1\x8d" "B"
                             + E({'6'}) + "\x88")[0].texts;
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[1].bytes, "\xc4") << "German set: [ is \u00c4, drawn as UTF-16";
    EXPECT_EQ(t[3].bytes, "[\x88\x86") << "USA set again; the DOS code page's letters print";
    EXPECT_EQ(t[4].bytes, "A");
    EXPECT_TRUE(t[4].font.italic) << "italic table: 0xC1 is an italic A";
    EXPECT_EQ(t[5].bytes, "B");
    EXPECT_EQ(t[5].ref.x, 0) << "in the italic table 0x8D is CR";
    EXPECT_EQ(t[5].ref.y, t[4].ref.y);
    EXPECT_EQ(t[6].bytes, "\x88") << "ESC 6 prints 0x80-0x9F";
}

TEST(EpsonPage, FeedsPastTheEndOfTheLastSheetWasteNoPaperButTwoFormFeedsEjectABlankSheet)
{
    Epson fx(PrinterEmulation::Fx);
    EXPECT_EQ(fx.render("A" + std::string(100, '\n')).size(), 1u) << "feeds that run off the sheet print nothing";
    EXPECT_EQ(fx.render("A\x0c\r\n\r\n").size(), 1u);
    const auto pages = fx.render("A\x0c\x0c" "B");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[1].texts.empty());
    EXPECT_EQ(pages[2].texts[0].bytes, "B");
}

namespace {

std::string sample(const std::string& name)
{
    std::ifstream in(std::string(QUILLON_SAMPLES) + "/" + name, std::ios::binary);
    if (!in)
        ADD_FAILURE() << "the sample " << name << " is missing from " << QUILLON_SAMPLES;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t dots(const BitmapCall& b)
{
    size_t n = 0;
    for (uint8_t byte : b.rows)
        n += size_t(std::popcount(byte));
    return n;
}

} // namespace

TEST(EpsonSamples, AWindowMakersInvoiceForA24PinPrinterPrintsItsLetterAndBothDrawings)
{
    Epson lq(PrinterEmulation::Lq);
    const auto pages = lq.render(sample("escapy_test_Graphics_invoice.CP850.prn"));
    ASSERT_EQ(pages.size(), 2u) << "the letter and the item table; the feeds at the end waste no sheet";
    EXPECT_TRUE(lq.notices.empty()) << lq.notices.front();
    EXPECT_NE(Epson::text(pages[0]).find("Rechnung Nr. REI12345"), std::string::npos);
    EXPECT_TRUE(pages[0].bitmaps.empty());
    // Each window drawing is 11 bands of ESC * 33 (152 columns) fed by ESC 3 24; both stand in the
    // same columns, so they become one picture with blank rows between them.
    ASSERT_EQ(pages[1].bitmaps.size(), 1u);
    const BitmapCall& b = pages[1].bitmaps[0];
    EXPECT_EQ(b.width, 152);
    int drawings = 0;
    bool inkAbove = false;
    for (int32_t r = 0; r < b.height; ++r) {
        bool ink = false;
        for (int32_t c = 0; c < b.width && !ink; ++c)
            ink = b.dot(c, r);
        drawings += ink && !inkAbove;
        inkAbove = ink;
    }
    EXPECT_EQ(drawings, 4) << "two windows, each with the dimension line of its width below it";
    EXPECT_GT(dots(b), 4000u);
    // No parameter or data byte prints: every text run is words, numbers and table rules.
    for (const RecordingContext& page : pages)
        for (const TextCall& t : page.texts)
            for (char c : t.bytes)
                EXPECT_TRUE(uint8_t(c) >= 0x20) << "a control byte printed in \"" << t.bytes << '"';
}

TEST(EpsonSamples, AManualForA24PinPrinterHasItsBoldHeadingsAndUnderlines)
{
    Epson lq(PrinterEmulation::Lq);
    const auto pages = lq.render(sample("escapy_escp2_1.prn"));
    ASSERT_EQ(pages.size(), 1u);
    bool boldHeading = false, underlined = false;
    for (const TextCall& t : pages[0].texts) {
        boldHeading |= t.bytes.find("Marking highlight 1") != std::string::npos && t.font.weight == 700;
        underlined |= t.bytes == "HIGHLIGHT 1" && t.font.underline;
    }
    EXPECT_TRUE(boldHeading);
    EXPECT_TRUE(underlined);
}
