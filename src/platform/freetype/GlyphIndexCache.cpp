// FreeType's FT_Get_Char_Index answered from a table per font face and character map, for a
// program that writes many small PDFs with the same fonts.
//
// Qt's PDF writer, to map a document's glyphs back to characters, asks every font it embeds for
// the glyph of each of the 65,536 code points of the Basic Multilingual Plane, in every document;
// FreeType answers each with a search of the font's character map. That costs a one-page PDF more
// than drawing its page. The answers never change while the face lives, so they are kept: the
// resident renderer fills the tables as it warms up, and each job, a fork of it, reads them.
//
// A program has this in place of FreeType's own function when these definitions are linked into
// the executable: the dynamic linker binds Qt's calls to the executable's symbols first. FreeType's
// function, found behind them with dlsym, answers what the tables do not hold yet. A face's tables
// are dropped when the face is done with, or its library: a new face at the same address starts
// afresh.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <dlfcn.h>

namespace {

constexpr FT_ULong kCodes = 0x10000;

// The glyphs of one face under one character map: glyph + 1 for each code point, 0 while unasked.
struct Table {
    FT_Face face;
    FT_CharMap charmap;
    std::atomic<std::uint32_t> glyphs[kCodes];
};

struct Tables {
    std::mutex mutex;
    std::vector<std::unique_ptr<Table>> live; // guarded by mutex
};

// Never destroyed: fonts may be let go of by other objects' destructors as the program ends.
Tables& tables()
{
    static Tables* const all = new Tables;
    return *all;
}

std::atomic<unsigned> g_generation{0}; // bumped whenever tables are dropped

// The table this thread used last, and what it was for: compared without reading the table,
// which may be gone (only a face that is done with drops its tables, and a face in use on one
// thread must not be done with on another, as FreeType itself requires).
thread_local Table* t_last = nullptr;
thread_local FT_Face t_lastFace = nullptr;
thread_local FT_CharMap t_lastCharmap = nullptr;
thread_local unsigned t_lastGeneration = 0;

template <class Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

using GetCharIndex = FT_UInt (*)(FT_Face, FT_ULong);
using DoneFace = FT_Error (*)(FT_Face);
using DoneLibrary = FT_Error (*)(FT_Library);

GetCharIndex freetypeGetCharIndex()
{
    static const GetCharIndex function = next<GetCharIndex>("FT_Get_Char_Index");
    return function;
}

Table* tableFor(FT_Face face)
{
    const unsigned generation = g_generation.load(std::memory_order_acquire);
    if (t_last && t_lastGeneration == generation && t_lastFace == face && t_lastCharmap == face->charmap)
        return t_last;
    Tables& all = tables();
    std::lock_guard lock(all.mutex);
    Table* found = nullptr;
    for (const auto& table : all.live)
        if (table->face == face && table->charmap == face->charmap)
            found = table.get();
    if (!found)
        found = all.live.emplace_back(new Table{face, face->charmap, {}}).get();
    t_last = found;
    t_lastFace = face;
    t_lastCharmap = face->charmap;
    t_lastGeneration = g_generation.load(std::memory_order_relaxed);
    return found;
}

// Drops the tables of face (null: of every face).
void forget(FT_Face face)
{
    Tables& all = tables();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.live, [face](const auto& table) { return !face || table->face == face; });
    g_generation.fetch_add(1, std::memory_order_release);
}

} // namespace

extern "C" {

FT_UInt FT_Get_Char_Index(FT_Face face, FT_ULong charcode)
{
    const GetCharIndex freetype = freetypeGetCharIndex();
    if (!face || !face->charmap || charcode >= kCodes)
        return freetype(face, charcode);
    std::atomic<std::uint32_t>& slot = tableFor(face)->glyphs[charcode];
    std::uint32_t glyph = slot.load(std::memory_order_relaxed);
    if (glyph == 0) {
        glyph = freetype(face, charcode) + 1;
        slot.store(glyph, std::memory_order_relaxed);
    }
    return glyph - 1;
}

FT_Error FT_Done_Face(FT_Face face)
{
    static const DoneFace freetype = next<DoneFace>("FT_Done_Face");
    if (face)
        forget(face);
    return freetype(face);
}

FT_Error FT_Done_FreeType(FT_Library library)
{
    static const DoneLibrary freetype = next<DoneLibrary>("FT_Done_FreeType");
    forget(nullptr);
    return freetype(library);
}

FT_Error FT_Done_Library(FT_Library library)
{
    static const DoneLibrary freetype = next<DoneLibrary>("FT_Done_Library");
    forget(nullptr);
    return freetype(library);
}

} // extern "C"
