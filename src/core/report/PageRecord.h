#pragma once
// One stored page of the page store: a packed 38-byte record.

#include "gdi/ByteIO.h"

#include <cstdint>

namespace quillon {

struct TVxPageRecord {
    int32_t PageNo = 0;
    char Orientation = 'P'; // 'P' or 'L'
    uint8_t PaperCode = 1;
    int32_t MargLeft = 0;
    int32_t MargRight = 0;
    int32_t MargTop = 0;
    int32_t MargBottom = 0;
    int32_t PaperWidth = 0;  // as the report holds it, not swapped for landscape
    int32_t PaperLength = 0;
    int32_t PictureSize = 0;
    int32_t PictureOffset = 0;
};

// Layout, in this order: PageNo 4, Orientation 1, PaperCode 1, MargLeft 4, MargRight 4,
// MargTop 4, MargBottom 4, PaperWidth 4, PaperLength 4, PictureSize 4, PictureOffset 4.
constexpr size_t kPageRecordSize = 38;

inline void writePageRecord(ByteWriter& out, const TVxPageRecord& r)
{
    out.i32(r.PageNo);
    out.u8(uint8_t(r.Orientation));
    out.u8(r.PaperCode);
    out.i32(r.MargLeft);
    out.i32(r.MargRight);
    out.i32(r.MargTop);
    out.i32(r.MargBottom);
    out.i32(r.PaperWidth);
    out.i32(r.PaperLength);
    out.i32(r.PictureSize);
    out.i32(r.PictureOffset);
}

inline TVxPageRecord readPageRecord(ByteReader& in)
{
    TVxPageRecord r;
    r.PageNo = in.i32();
    r.Orientation = char(in.u8());
    r.PaperCode = in.u8();
    r.MargLeft = in.i32();
    r.MargRight = in.i32();
    r.MargTop = in.i32();
    r.MargBottom = in.i32();
    r.PaperWidth = in.i32();
    r.PaperLength = in.i32();
    r.PictureSize = in.i32();
    r.PictureOffset = in.i32();
    return r;
}

// The end of a page store: the page count (4 bytes) and this magic (15 bytes, no terminator).
constexpr char kPageStoreMagic[] = "TVxReport-Ver-1";
constexpr size_t kPageStoreMagicSize = 15;
constexpr size_t kPageStoreTrailerSize = 4 + kPageStoreMagicSize;

} // namespace quillon
