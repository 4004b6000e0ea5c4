#include "escp/PrinterState.h"
#include "settings/Settings.h"

#include "FakePrinter.h"

#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakePrinter;

namespace {

TEscCommand cmd(uint8_t code, uint8_t param = 0)
{
    TEscCommand c;
    c.code = esc::Code(code);
    c.param1 = param;
    return c;
}

TPrinterState stateAt(int fontSize, int pitch = 10)
{
    TPrinterState s;
    s.scale = double((long double)fontSize / 12.0L);
    s.pitch = pitch;
    return s;
}

} // namespace

TEST(PrinterState, DerivedLengthsRoundHalfToEven)
{
    TPrinterState s;
    const int widths[] = {254, 212, 149, 127};
    const int pitches[] = {10, 12, 17, 20};
    for (int i = 0; i < 4; ++i) {
        s.pitch = pitches[i];
        EXPECT_EQ(s.charWidth(), widths[i]) << pitches[i];
    }
    const int spacings[] = {6, 8, 12};
    const int advances[] = {423, 318, 212}; // 2540 / 8 = 317.5 rounds to 318
    for (int i = 0; i < 3; ++i) {
        s.lineSpacing = spacings[i];
        EXPECT_EQ(s.lineAdvance(), advances[i]);
    }
}

TEST(PrinterState, LeftMarginUsesExtendedPrecisionAndTheDoubleScale)
{
    TPrinterState s = stateAt(12);
    ExecuteCommand(s, cmd(13, 10));
    EXPECT_EQ(s.leftMargin, 2540);
    s.pitch = 17;
    ExecuteCommand(s, cmd(13, 10));
    EXPECT_EQ(s.leftMargin, 1494);
    ExecuteCommand(s, cmd(13, 0));
    EXPECT_EQ(s.leftMargin, 0);

    // 254 × 11/12 × 9 is 2095.5 exactly, but the scale is a double just below 11/12.
    TPrinterState eleven = stateAt(11);
    ExecuteCommand(eleven, cmd(13, 9));
    EXPECT_EQ(eleven.leftMargin, 2095);
    // 254 × 7/12 × 3 is 444.5 exactly; the double 7/12 lies just above it.
    TPrinterState seven = stateAt(7);
    ExecuteCommand(seven, cmd(13, 3));
    EXPECT_EQ(seven.leftMargin, 445);

    // A later pitch change does not move the margin.
    s.pitch = 10;
    ExecuteCommand(s, cmd(13, 10));
    ExecuteCommand(s, cmd(18));
    EXPECT_EQ(s.leftMargin, 2540);
}

TEST(PrinterState, MovementCommands)
{
    TPrinterState s = stateAt(12);
    s.x = 100;
    ExecuteCommand(s, cmd(6));
    EXPECT_EQ(s.x, 0); // back space never goes below 0

    s.x = 1000;
    s.doubleWidth = true;
    ExecuteCommand(s, cmd(6));
    EXPECT_EQ(s.x, 1000 - 254); // one single cell back, even in double width

    s.x = 500;
    ExecuteCommand(s, cmd(8));
    EXPECT_EQ(s.x, 500);
    EXPECT_EQ(s.y, 423);

    TPrinterState a = stateAt(12), b = stateAt(12);
    a.x = b.x = 700;
    ExecuteCommand(a, cmd(9));
    ExecuteCommand(b, cmd(7));
    ExecuteCommand(b, cmd(8));
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);

    ExecuteCommand(a, cmd(5));
    int y = a.y;
    ExecuteCommand(a, cmd(8));
    EXPECT_EQ(a.y - y, 318);
}

TEST(PrinterState, FormFeedKeepsAttributesAndResetKeepsPageAndScale)
{
    TPrinterState s = stateAt(10, 17);
    s.bold = true;
    s.doubleWidth = true;
    s.script = -1;
    s.lineSpacing = 8;
    s.leftMargin = 1234;
    s.x = 99;
    s.y = 999;
    s.pageWidth = 20000;
    ExecuteCommand(s, cmd(10));
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.pitch, 17);
    EXPECT_TRUE(s.bold);
    EXPECT_TRUE(s.doubleWidth);
    EXPECT_EQ(s.script, -1);
    EXPECT_EQ(s.lineSpacing, 8);
    EXPECT_EQ(s.leftMargin, 1234);

    s.buffer.append("abc", 3);
    s.y = 999;
    ExecuteCommand(s, cmd(2)); // ESC @
    EXPECT_EQ(s.pitch, 10);
    EXPECT_FALSE(s.bold);
    EXPECT_FALSE(s.doubleWidth);
    EXPECT_EQ(s.script, 0);
    EXPECT_EQ(s.lineSpacing, 6);
    EXPECT_EQ(s.leftMargin, 0);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.pageWidth, 20000);
    EXPECT_DOUBLE_EQ(s.scale, 10.0 / 12.0);
    EXPECT_EQ(s.buffer.size(), 3u);
}

TEST(PrinterState, AttributeCommandsChangeOnlyTheirField)
{
    struct Case {
        uint8_t code;
        int pitch, spacing, script;
        bool bold, dw;
    };
    const Case cases[] = {
        {3, 10, 6, 0, false, false},   {4, 10, 12, 0, false, false}, {5, 10, 8, 0, false, false},
        {11, 10, 6, 0, false, true},   {14, 12, 6, 0, false, false}, {16, 10, 6, 0, true, false},
        {18, 17, 6, 0, false, false},  {20, 10, 6, 0, true, false},  {22, 20, 6, 0, false, false},
        {24, 10, 6, 0, true, false},   {26, 10, 6, 1, false, false}, {28, 10, 6, -1, false, false},
        {29, 10, 6, 0, true, false},   {1, 10, 6, 0, false, false},  {31, 10, 6, 0, false, false},
        {0, 10, 6, 0, false, false},   {255, 10, 6, 0, false, false},
    };
    for (const Case& c : cases) {
        TPrinterState s;
        ExecuteCommand(s, cmd(c.code));
        EXPECT_EQ(s.pitch, c.pitch) << int(c.code);
        EXPECT_EQ(s.lineSpacing, c.spacing) << int(c.code);
        EXPECT_EQ(s.script, c.script) << int(c.code);
        EXPECT_EQ(s.bold, c.bold) << int(c.code);
        EXPECT_EQ(s.doubleWidth, c.dw) << int(c.code);
        EXPECT_EQ(s.x, 0);
        EXPECT_EQ(s.y, 0);
    }
    TPrinterState s;
    s.pitch = 20;
    s.bold = true;
    s.doubleWidth = true;
    s.script = 1;
    for (uint8_t off : {12, 15, 17, 19, 21, 23, 25, 27, 30})
        ExecuteCommand(s, cmd(off));
    EXPECT_EQ(s.pitch, 10);
    EXPECT_FALSE(s.bold);
    EXPECT_FALSE(s.doubleWidth);
    EXPECT_EQ(s.script, 0);
}

TEST(ResetPrinterState, MeasuresTheDefaultPrinterNormalisedToPortrait)
{
    TSettings settings;
    settings.FontSize = 9;
    FakePrinter printer;
    printer.metrics->printableWidth = 4800;  // 600 dpi: 20320
    printer.metrics->printableHeight = 6814; // 600 dpi: 28846.2 -> 28846
    TPrinterState s;
    s.x = 5;
    s.buffer.append("left over", 9);
    ResetPrinterState(s, settings, printer);
    EXPECT_EQ(s.pageWidth, 20320);
    EXPECT_EQ(s.pageHeight, 28846);
    EXPECT_DOUBLE_EQ(s.scale, 0.75);
    EXPECT_EQ(s.x, 0);
    EXPECT_TRUE(s.buffer.empty());

    printer.metrics->orientation = PrinterOrientation::Landscape;
    std::swap(printer.metrics->printableWidth, printer.metrics->printableHeight);
    printer.metrics->dpiX = 300;
    printer.metrics->printableWidth /= 2;
    ResetPrinterState(s, settings, printer);
    EXPECT_EQ(s.pageWidth, 20320);
    EXPECT_EQ(s.pageHeight, 28846);
}

TEST(ResetPrinterState, WithoutAPrinterPageKeepsItsLastSize)
{
    TSettings settings;
    FakePrinter none;
    none.hasDefault = false;
    TPrinterState s;
    ResetPrinterState(s, settings, none);
    EXPECT_EQ(s.pageWidth, 21000);
    EXPECT_EQ(s.pageHeight, 29700);

    FakePrinter mute;
    mute.metrics.reset();
    ResetPrinterState(s, settings, mute);
    EXPECT_EQ(s.pageHeight, 29700);

    FakePrinter zero;
    zero.metrics->dpiY = 0;
    ResetPrinterState(s, settings, zero);
    EXPECT_EQ(s.pageHeight, 29700);
}
