#include "escp/EscCommand.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace quillon;

namespace {

struct Split {
    std::string text;
    int code;
    std::string rest;
    TEscCommand command;
};

Split split(const std::string& data, bool atEnd = true)
{
    std::string_view text, rest;
    Split s;
    SplitPrintStream(data, atEnd, text, s.command, rest);
    s.text = std::string(text);
    s.code = s.command.code;
    s.rest = std::string(rest);
    return s;
}

} // namespace

TEST(EscTable, HasSevenControlBytesAndFortyOneRows)
{
    EXPECT_EQ(ControlBytes.count(), 7u);
    for (int b : {0x08, 0x0A, 0x0C, 0x0D, 0x0F, 0x12, 0x1B})
        EXPECT_TRUE(ControlBytes.test(size_t(b))) << b;
    for (int b : {0x00, 0x09, 0x0E, 0x14, 0x18, 0x7F, 0x80, 0xFF})
        EXPECT_FALSE(ControlBytes.test(size_t(b))) << b;
    ASSERT_EQ(EscTable.size(), 41u);
    // Longer rows first, so a sequence always wins over its prefix.
    for (size_t i = 1; i < EscTable.size(); ++i)
        EXPECT_LE(EscTable[i].length, EscTable[i - 1].length) << i;
    EXPECT_EQ(EscTable[34].sequence(), "\x1bl");
    EXPECT_EQ(EscTable[34].paramCount, 1);
    EXPECT_EQ(EscTable[34].code, 13);
    EXPECT_EQ(EscTable[3].sequence(), std::string("\x1bS\0", 3));
}

TEST(SplitPrintStream, TextWithoutControlBytes)
{
    Split empty = split("");
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.rest, "");

    for (bool atEnd : {false, true}) {
        Split s = split("ABC", atEnd);
        EXPECT_EQ(s.text, "ABC");
        EXPECT_EQ(s.code, 0);
        EXPECT_EQ(s.rest, "");
        EXPECT_EQ(s.command.length, 0);
    }
}

TEST(SplitPrintStream, WaitsForMoreBytesNearTheEndOfAChunk)
{
    Split waiting = split("AB\x1b" "EC", false);
    EXPECT_EQ(waiting.text, "AB");
    EXPECT_EQ(waiting.code, 0);
    EXPECT_EQ(waiting.rest, "\x1b" "EC");

    Split atEnd = split("AB\x1b" "EC", true);
    EXPECT_EQ(atEnd.text, "AB");
    EXPECT_EQ(atEnd.code, 29);
    EXPECT_EQ(atEnd.rest, "C");

    // Six bytes from the control byte on are enough to decide.
    Split six = split("A\x1b" "Exxxx", false);
    EXPECT_EQ(six.code, 29);
    EXPECT_EQ(six.rest, "xxxx");
}

TEST(SplitPrintStream, LongerSequencesWin)
{
    EXPECT_EQ(split("\r\nX").code, 9);
    EXPECT_EQ(split("\r\nX").rest, "X");
    EXPECT_EQ(split("\rX").code, 7);
    EXPECT_EQ(split("\nX").code, 8);
    EXPECT_EQ(split("\x1bM\x0f").code, 22);
    Split escM = split("\x1bMx");
    EXPECT_EQ(escM.code, 14);
    EXPECT_EQ(escM.rest, "x");
    EXPECT_EQ(split("\x12\x1bP").code, 23);
    Split dc2 = split("\x12" "A");
    EXPECT_EQ(dc2.code, 19);
    EXPECT_EQ(dc2.rest, "A");
    // The shadowed rows are never reached.
    EXPECT_EQ(split("\x1b" "E").code, 29);
    EXPECT_EQ(split("\x1b" "F").code, 30);
    EXPECT_EQ(split("\x1bG").code, 20);
    EXPECT_EQ(split("\x1bH").code, 21);
}

TEST(SplitPrintStream, EveryRowIsRecognisedWithItsCode)
{
    const int expected[41] = {22, 23, 4, 26, 26, 28, 11, 12, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 9,
                              29, 30, 14, 15, 16, 17, 20, 21, 24, 25, 3, 5, 27, 13, 10, 6, 7, 8, 18, 19};
    const std::set<int> shadowed = {25, 26, 29, 30};
    for (size_t i = 0; i < EscTable.size(); ++i) {
        EXPECT_EQ(EscTable[i].code, expected[i]) << "row " << i;
        if (shadowed.count(int(i)))
            continue;
        std::string data = std::string(EscTable[i].sequence()) + "\x01zzzzz";
        Split s = split("t" + data);
        EXPECT_EQ(s.text, "t");
        EXPECT_EQ(s.code, expected[i]) << "row " << i;
    }
}

TEST(SplitPrintStream, ParameterByteIsConsumed)
{
    Split s = split("\x1bl\x0aX");
    EXPECT_EQ(s.code, 13);
    EXPECT_EQ(s.command.param1, 10);
    EXPECT_EQ(s.rest, "X");

    // A missing parameter at the very end: the sequence is consumed, nothing is read beyond.
    Split cut = split("\x1bl");
    EXPECT_EQ(cut.code, 13);
    EXPECT_EQ(cut.command.param1, 0);
    EXPECT_EQ(cut.rest, "");
}

TEST(SplitPrintStream, UnknownSequencesDropOnlyTheControlByte)
{
    Split z = split("\x1bZabc");
    EXPECT_EQ(z.code, 0);
    EXPECT_EQ(z.text, "");
    EXPECT_EQ(z.rest, "Zabc");

    Split w = split(std::string("\x1bW\x01zzz"));
    EXPECT_EQ(w.code, 0);
    EXPECT_EQ(w.rest, std::string("W\x01zzz"));

    Split s2 = split("\x1bS2zzz");
    EXPECT_EQ(s2.rest, "S2zzz");

    Split lone = split("\x1b", true);
    EXPECT_EQ(lone.code, 0);
    EXPECT_EQ(lone.rest, "");

    // ESC 3 is known only with DC2 behind it.
    EXPECT_EQ(split("\x1b" "3" "0zzzz").code, 0);
}

TEST(SplitPrintStream, SequenceFieldIsEmptiedOnlyWithoutControlBytes)
{
    TEscCommand c;
    c.length = 2;
    std::string_view text, rest;
    SplitPrintStream("\x1b" "Exxxxx", true, text, c, rest);
    EXPECT_EQ(c.length, 2);
    SplitPrintStream("plain", true, text, c, rest);
    EXPECT_EQ(c.length, 0);
}
