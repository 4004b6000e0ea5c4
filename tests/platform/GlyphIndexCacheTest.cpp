// The kept glyph lookups (linked into this test program as into the renderer) answer as FreeType
// itself does: for every code point, the second time as the first, under another character map of
// the same face, and for a new face where a face that is gone used to be.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <string>

#include <dlfcn.h>

namespace {

using GetCharIndex = FT_UInt (*)(FT_Face, FT_ULong);

// FreeType's own function, behind the one this program has.
FT_UInt freetypeGlyph(FT_Face face, FT_ULong code)
{
    static const auto function = reinterpret_cast<GetCharIndex>(::dlsym(RTLD_NEXT, "FT_Get_Char_Index"));
    return function(face, code);
}

// The first code point (up to past the kept range) where the two answers differ; -1 when none.
long firstDifference(FT_Face face, FT_ULong end = 0x10100)
{
    for (FT_ULong code = 0; code < end; ++code)
        if (FT_Get_Char_Index(face, code) != freetypeGlyph(face, code))
            return long(code);
    return -1;
}

const char kMono[] = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
const char kSans[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

} // namespace

TEST(GlyphIndexCache, AnswersAsFreeTypeDoes)
{
    ASSERT_NE(::dlsym(RTLD_NEXT, "FT_Get_Char_Index"), reinterpret_cast<void*>(&FT_Get_Char_Index))
        << "the lookups are not kept in this program";
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, kMono, 0, &face), 0) << kMono;
    EXPECT_EQ(firstDifference(face), -1) << "asked the first time";
    EXPECT_EQ(firstDifference(face), -1) << "answered from the table";
    EXPECT_NE(FT_Get_Char_Index(face, 0x0141), 0u) << "Ł is in the font";

    // Another character map of the same face has answers of its own.
    ASSERT_GE(face->num_charmaps, 2);
    FT_CharMap unicode = face->charmap;
    for (int i = 0; i < face->num_charmaps; ++i)
        if (face->charmaps[i] != unicode) {
            ASSERT_EQ(FT_Set_Charmap(face, face->charmaps[i]), 0);
            EXPECT_EQ(firstDifference(face), -1) << "character map " << i;
        }
    ASSERT_EQ(FT_Set_Charmap(face, unicode), 0);
    EXPECT_EQ(firstDifference(face), -1);

    // Faces come and go, and a new one is often where an old one was: each time a face of the
    // other font takes the place of the last.
    for (int round = 0; round < 4; ++round) {
        ASSERT_EQ(FT_Done_Face(face), 0);
        const char* file = round % 2 ? kMono : kSans;
        ASSERT_EQ(FT_New_Face(library, file, 0, &face), 0) << file;
        EXPECT_EQ(firstDifference(face), -1) << file << ", round " << round;
    }
    ASSERT_EQ(FT_Done_Face(face), 0);
    // A library done with takes its faces with it.
    ASSERT_EQ(FT_Done_FreeType(library), 0);
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, kSans, 0, &face), 0);
    EXPECT_EQ(firstDifference(face), -1);
    FT_Done_FreeType(library);
}
