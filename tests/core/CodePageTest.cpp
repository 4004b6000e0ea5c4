#include "gdi/CodePage.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <set>
#include <string>

using namespace quillon;

namespace {

// All 256 bytes decoded by glibc iconv, one UTF-16 unit per byte.
std::u16string iconvDecodeAllBytes(const char *charset)
{
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string in;
    for (int b = 0; b < 256; ++b)
        in.push_back(char(b));
    std::string out(1024, '\0');
    char *inPtr = in.data();
    char *outPtr = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1) || inLeft != 0)
        return {};
    out.resize(out.size() - outLeft);
    std::u16string text;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        text.push_back(char16_t(uint8_t(out[i]) | (uint8_t(out[i + 1]) << 8)));
    return text;
}

void expectMatchesIconv(DosCodePage page, const char *charset)
{
    const std::u16string expected = iconvDecodeAllBytes(charset);
    ASSERT_EQ(expected.size(), 256u) << charset << " did not decode to one unit per byte";
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(int(dosToUnicode(page, uint8_t(b))), int(expected[b]))
            << charset << " byte 0x" << std::hex << b;
    }
}

std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(char(v));
    return s;
}

const std::u16string kPolishLetters = u"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ";

} // namespace

const DosCodePage kAllPages[] = {DosCodePage::Cp852, DosCodePage::Cp437, DosCodePage::Mazovia,
                                 DosCodePage::Cp850, DosCodePage::Kamenicky};

TEST(CodePageTest, Cp852Cp437AndCp850MatchIconvForEveryByte)
{
    expectMatchesIconv(DosCodePage::Cp852, "CP852");
    expectMatchesIconv(DosCodePage::Cp437, "CP437");
    expectMatchesIconv(DosCodePage::Cp850, "CP850");
}

TEST(CodePageTest, LowHalfIsAsciiIncludingControlBytes)
{
    // DOS programs send 0x1A, 0x1C and 0x7F as plain bytes; they must not become symbols.
    for (DosCodePage page : kAllPages) {
        for (int b = 0; b < 0x80; ++b)
            EXPECT_EQ(int(dosToUnicode(page, uint8_t(b))), b) << "byte 0x" << std::hex << b;
    }
    EXPECT_TRUE(isInvisibleDosByte(0x00));
    EXPECT_TRUE(isInvisibleDosByte(0x1A));
    EXPECT_TRUE(isInvisibleDosByte(0x7F));
    EXPECT_FALSE(isInvisibleDosByte(0x20));
    EXPECT_FALSE(isInvisibleDosByte(0x80));
}

TEST(CodePageTest, PolishLetters)
{
    const std::string cp852 = bytes({0xa5, 0x86, 0xa9, 0x88, 0xe4, 0xa2, 0x98, 0xab, 0xbe,
                                     0xa4, 0x8f, 0xa8, 0x9d, 0xe3, 0xe0, 0x97, 0x8d, 0xbd});
    const std::string mazovia = bytes({0x86, 0x8d, 0x91, 0x92, 0xa4, 0xa2, 0x9e, 0xa6, 0xa7,
                                       0x8f, 0x95, 0x90, 0x9c, 0xa5, 0xa3, 0x98, 0xa0, 0xa1});
    EXPECT_EQ(dosToUnicode(DosCodePage::Cp852, cp852), kPolishLetters);
    EXPECT_EQ(dosToUnicode(DosCodePage::Mazovia, mazovia), kPolishLetters);

    // CP437 has ó but none of the other Polish letters.
    EXPECT_EQ(dosToUnicode(DosCodePage::Cp437, uint8_t(0xa2)), u'ó');
    std::set<char16_t> cp437Upper;
    for (int b = 0x80; b < 0x100; ++b)
        cp437Upper.insert(dosToUnicode(DosCodePage::Cp437, uint8_t(b)));
    for (char16_t c : kPolishLetters) {
        if (c != u'ó') {
            EXPECT_EQ(cp437Upper.count(c), 0u) << "U+" << std::hex << int(c);
        }
    }
}

TEST(CodePageTest, MazoviaIsCp437OutsideThePolishLetters)
{
    const std::set<int> polishBytes = {0x86, 0x8d, 0x8f, 0x90, 0x91, 0x92, 0x95, 0x98, 0x9c,
                                       0x9e, 0xa0, 0xa1, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7};
    for (int b = 0; b < 0x100; ++b) {
        const char16_t mazovia = dosToUnicode(DosCodePage::Mazovia, uint8_t(b));
        const char16_t cp437 = dosToUnicode(DosCodePage::Cp437, uint8_t(b));
        if (polishBytes.count(b))
            EXPECT_NE(mazovia, cp437) << "byte 0x" << std::hex << b;
        else
            EXPECT_EQ(mazovia, cp437) << "byte 0x" << std::hex << b;
    }
}

TEST(CodePageTest, KamenickyCzechAndSlovakLetters)
{
    const std::string letters = bytes({0xa0, 0x84, 0x87, 0x83, 0x82, 0x88, 0xa1, 0x8d, 0x8c, 0xa4,
                                       0xa2, 0x93, 0xaa, 0xa9, 0xa8, 0x9f, 0xa3, 0x96, 0x98, 0x91,
                                       0x8f, 0x8e, 0x80, 0x85, 0x90, 0x89, 0x8b, 0x8a, 0x9c, 0xa5,
                                       0x95, 0xa7, 0xab, 0x9e, 0x9b, 0x86, 0x97, 0xa6, 0x9d, 0x92});
    EXPECT_EQ(dosToUnicode(DosCodePage::Kamenicky, letters),
              u"áäčďéěíĺľňóôŕřšťúůýžÁÄČĎÉĚÍĹĽŇÓÔŔŘŠŤÚŮÝŽ");
    EXPECT_EQ(dosToUnicode(DosCodePage::Kamenicky,
                           "P\xa9\xa1li\xa8 \x91lu\x9fou\x87k\x98 k\x96\xa4 \xa3p\x88l \x83\xa0" "belsk\x82 \xa2" "dy"),
              u"Příliš žluťoučký kůň úpěl ďábelské ódy");
    EXPECT_EQ(dosToUnicode(DosCodePage::Kamenicky, uint8_t(0xad)), u'§');
}

TEST(CodePageTest, KamenickyIsCp437FromTheFractionsOn)
{
    // Only the letters (and the section sign) moved: ¼ « » stay, and so does every box-drawing,
    // Greek and maths sign.
    for (int b = 0xac; b < 0x100; ++b) {
        if (b != 0xad) {
            EXPECT_EQ(dosToUnicode(DosCodePage::Kamenicky, uint8_t(b)), dosToUnicode(DosCodePage::Cp437, uint8_t(b)))
                << "byte 0x" << std::hex << b;
        }
    }
}

TEST(CodePageTest, BoxDrawingInAllPages)
{
    for (DosCodePage page : kAllPages) {
        EXPECT_EQ(dosToUnicode(page, uint8_t(0xb3)), u'│');
        EXPECT_EQ(dosToUnicode(page, uint8_t(0xc4)), u'─');
        EXPECT_EQ(dosToUnicode(page, bytes({0xda, 0xc4, 0xbf})), u"┌─┐");
        EXPECT_EQ(dosToUnicode(page, bytes({0xc9, 0xcd, 0xbb, 0xba, 0xc8, 0xbc})), u"╔═╗║╚╝");
    }
    // The mixed single and double joints that Czech tables use are CP437's in Kamenický; CP850
    // and CP852 have letters there.
    EXPECT_EQ(dosToUnicode(DosCodePage::Kamenicky, bytes({0xb6, 0xc7, 0xcf, 0xd1, 0xd8})), u"╢╟╧╤╪");
    EXPECT_EQ(dosToUnicode(DosCodePage::Cp850, bytes({0xb6, 0xc7, 0xd1, 0xd8})), u"ÂÃÐÏ");
}

TEST(CodePageTest, ByteStringOverload)
{
    EXPECT_EQ(dosToUnicode(DosCodePage::Cp852, std::string_view()), u"");

    // Embedded NUL and every byte value: one unit per byte, same as the single-byte call.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    for (DosCodePage page : kAllPages) {
        const std::u16string text = dosToUnicode(page, all);
        ASSERT_EQ(text.size(), 256u);
        for (int b = 0; b < 256; ++b)
            EXPECT_EQ(text[b], dosToUnicode(page, uint8_t(b))) << "byte 0x" << std::hex << b;
    }

    EXPECT_EQ(dosToUnicode(DosCodePage::Cp852, bytes({'Z', 0xa5, 'e', 0x1a, 0xb3})), u"Ząe\x1a│");
}

TEST(CodePageTest, CodePageFromName)
{
    EXPECT_EQ(codePageFromName("852"), DosCodePage::Cp852);
    EXPECT_EQ(codePageFromName("cp852"), DosCodePage::Cp852);
    EXPECT_EQ(codePageFromName("CP852"), DosCodePage::Cp852);
    EXPECT_EQ(codePageFromName("437"), DosCodePage::Cp437);
    EXPECT_EQ(codePageFromName("Cp437"), DosCodePage::Cp437);
    EXPECT_EQ(codePageFromName("mazovia"), DosCodePage::Mazovia);
    EXPECT_EQ(codePageFromName("MAZOVIA"), DosCodePage::Mazovia);
    EXPECT_EQ(codePageFromName("MaZoViA"), DosCodePage::Mazovia);
    EXPECT_EQ(codePageFromName("850"), DosCodePage::Cp850);
    EXPECT_EQ(codePageFromName("CP850"), DosCodePage::Cp850);
    EXPECT_EQ(codePageFromName("kamenicky"), DosCodePage::Kamenicky);
    EXPECT_EQ(codePageFromName("Kamenicky"), DosCodePage::Kamenicky);
    EXPECT_EQ(codePageFromName("KEYBCS2"), DosCodePage::Kamenicky);

    for (std::string_view bad : {"", "85", "8520", "851", "cp", "cp 852", " 852", "852 ",
                                 "mazovi", "mazowia", "kamenický", "kamenic", "895", "utf-8", "latin2"})
        EXPECT_FALSE(codePageFromName(bad).has_value()) << "'" << bad << "'";
}
