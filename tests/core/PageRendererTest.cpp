#include "escp/PageRenderer.h"

#include "PageHandlerHarness.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

// The main window's report and the simple printer's page handler.
class Renderer : public PageHandlerHarness<PageRenderer> {
public:
    std::vector<RecordingContext> render(const std::string& stream, int fontSize = 12,
                                         TVxPaperOrient orient = vxPortrait, int maxPages = 100)
    {
        report.PaperOrient = orient;
        return renderPages(stream, fontSize, maxPages, [](PageRenderer&) {});
    }
};

std::string lines(int count, const std::string& text = "line")
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += text + "\r\n";
    return s;
}

} // namespace

TEST(PageRenderer, WorkedNumbersOfATextRun)
{
    Renderer r;
    auto pages = r.render("Hello");
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].texts.size(), 1u);
    const TextCall& t = pages[0].texts[0];
    EXPECT_EQ(t.bytes, "Hello");
    EXPECT_EQ(t.ref, (Point{0, 423}));
    EXPECT_EQ(t.dx, std::vector<int32_t>(5, 254));
    EXPECT_EQ(t.font.height, 423);
    EXPECT_EQ(t.font.width, 254);
    EXPECT_EQ(t.font.weight, 400);
    EXPECT_EQ(t.font.charSet, 255);
    EXPECT_EQ(t.font.pitchAndFamily, 1);
    EXPECT_EQ(t.font.faceName, u"Courier New");
    EXPECT_EQ(t.align, 24u);
    EXPECT_EQ(t.color, 0u);
    EXPECT_EQ(t.bkMode, kTransparent);
    EXPECT_EQ(pages[0].live, 0) << "every font is deleted after its run";
}

TEST(PageRenderer, ScriptsAndAttributes)
{
    Renderer r;
    auto pages = r.render("\x1bS0" "a\x1bT\x1bS1" "b\x1bT\x1b" "Ec\x1bM\x1bW1" "d");
    ASSERT_EQ(pages[0].texts.size(), 4u);
    const auto& t = pages[0].texts;
    EXPECT_EQ(t[0].font.height, 254); // round(423 × 0.6)
    EXPECT_EQ(t[0].ref.y, 423 - 141); // superscript baseline raised by H div 3
    EXPECT_EQ(t[1].ref.y, 423 + 84);  // subscript lowered by H div 5
    EXPECT_EQ(t[1].ref.y, 507);
    EXPECT_EQ(t[2].font.weight, 700);
    EXPECT_EQ(t[3].font.width, 424); // double width at 12 cpi
    EXPECT_EQ(t[3].dx, std::vector<int32_t>{424});
    EXPECT_EQ(t[3].ref.x, 3 * 254);

    Renderer ten;
    auto p10 = ten.render("\x1bS0x", 10);
    EXPECT_EQ(p10[0].texts[0].font.height, 212); // H = 353
    EXPECT_EQ(p10[0].texts[0].ref.y, 353 - 117);
}

TEST(PageRenderer, LongLinesAreCutToWhatFits)
{
    Renderer r;
    auto pages = r.render(std::string(100, 'x') + "\r\nnext");
    const auto& t = pages[0].texts;
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].bytes.size(), 81u); // 20700 div 254
    EXPECT_EQ(t[1].ref, (Point{0, 423 + 423}));

    Renderer x;
    x.render(std::string(100, 'x'));
    EXPECT_EQ(x.state.x, 20574);

    Renderer runs;
    auto p = runs.render("\x1bM\x0f" + std::string(1500, 'y')); // 20 cpi
    EXPECT_EQ(p[0].texts[0].bytes.size(), 162u);                 // 20700 div 127

    // Where nothing fits nothing is drawn and x stays.
    Renderer margin;
    auto m = margin.render("\x1bl\xff" "abc");
    EXPECT_TRUE(m[0].texts.empty());
    EXPECT_EQ(margin.state.x, 0);
}

TEST(PageRenderer, PagesEndAtFormFeedsAndAtTheBottom)
{
    Renderer empty;
    auto e = empty.render("");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_TRUE(e[0].texts.empty());

    Renderer trailing;
    EXPECT_EQ(trailing.render("one\x0c").size(), 1u);
    Renderer more;
    auto two = more.render("one\x0ctwo");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].texts[0].ref, (Point{0, 423}));

    // A4 whole sheet: bottom = 29700 - 400 = 29300; lines start at 0, 423, ... so 70 lines fit
    // (the 70th starts at 29187), the 71st starts on the next page.
    Renderer full;
    auto pages = full.render(lines(71));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].texts.size(), 70u);
    EXPECT_EQ(pages[1].texts.size(), 1u);
    EXPECT_EQ(pages[1].texts[0].ref.y, 423);

    // Only control bytes left after the bottom: one more, empty page.
    Renderer tail;
    auto t = tail.render(lines(70) + "\r\n\x0c");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_TRUE(t[1].texts.empty());

    // Landscape: the bottom comes from the page width.
    Renderer land;
    auto l = land.render(lines(60), 12, vxLandscape);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].texts.size(), 49u); // bottom 20600: 48 × 423 = 20304 is the last line start
}

TEST(PageRenderer, SequencesCutByAReadAreStillRecognised)
{
    Renderer r;
    std::string stream;
    for (int i = 0; i < 66; ++i)
        stream += std::string(58, 'a') + "\r\n";
    stream += std::string(39, 'a');
    ASSERT_EQ(stream.size(), 3999u);
    stream += "\x1bM" "b"; // ESC at byte 4000, M at 4001
    auto pages = r.render(stream);
    const auto& t = pages[0].texts;
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t.back().bytes, "b");
    EXPECT_EQ(t.back().font.width, 212);
    EXPECT_GE(r.reads, 2);
    for (const auto& call : t)
        EXPECT_EQ(call.bytes.find('M'), std::string::npos);
}

TEST(PageRenderer, BoxDrawingAndNationalBytesPassUnchanged)
{
    Renderer r;
    auto pages = r.render("\xb3\xc4\xa5\x86\x09\x7f");
    ASSERT_EQ(pages[0].texts.size(), 1u);
    EXPECT_EQ(pages[0].texts[0].bytes, "\xb3\xc4\xa5\x86\x09\x7f");
}

TEST(PageRenderer, APageTooShortForAnyLineIsAnError)
{
    Renderer r;
    r.report.MargTop = 29300;
    EXPECT_THROW(r.render("text"), EPageTooSmall);
}

TEST(MakeAdvanceArray, HasOneMoreEntryThanCharacters)
{
    auto a = MakeAdvanceArray(3, 17, 1.0, true);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(a[i], 298);
}

// Runs of several advances in turn, longer and shorter than the ones before: each run's advances
// are its own font's width, none left over from an earlier run.
TEST(PageRenderer, EveryRunHasTheAdvancesOfItsOwnPitchAndWidth)
{
    Renderer r;
    auto pages = r.render("abcdef\x1bW1" "ab\x1bW0" "abcdefghij\x0f" "abc\x1bW1" "abcd\x1bW0\x12"
                          "abcdefghijkl\r\n\x1bM" "a\x1bP" "abcdefghijklmnop");
    ASSERT_EQ(pages.size(), 1u);
    const auto& t = pages[0].texts;
    ASSERT_EQ(t.size(), 8u);
    for (const TextCall& run : t)
        EXPECT_EQ(run.dx, std::vector<int32_t>(run.bytes.size(), run.font.width)) << run.bytes;
    EXPECT_EQ(t[1].font.width, 2 * t[0].font.width);
    EXPECT_NE(t[3].font.width, t[2].font.width);
}

// The renderer outlives a job: the next job takes the face and the size of its own settings.
TEST(PageRenderer, TheNextJobTakesItsOwnFaceAndFontSize)
{
    Renderer r;
    auto first = r.render("one");
    r.settings.FontName = "Liberation Mono";
    auto second = r.render("two", 10);
    ASSERT_EQ(second.size(), 1u);
    ASSERT_EQ(second[0].texts.size(), 1u);
    EXPECT_EQ(first[0].texts[0].font.faceName, u"Courier New");
    EXPECT_EQ(second[0].texts[0].font.faceName, u"Liberation Mono");
    EXPECT_EQ(second[0].texts[0].font.height, 353);
    EXPECT_EQ(second[0].texts[0].ref.y, 353);
}
