#pragma once
// Record types and fixed layouts of the enhanced metafile format (MS-EMF) that the program
// writes and plays. Each layout is written out once, here and in EmfFormat.cpp.

#include "ByteIO.h"
#include "DrawingContext.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillon::emf {

// Record types.
constexpr uint32_t EMR_HEADER = 1;
constexpr uint32_t EMR_POLYGON = 3;
constexpr uint32_t EMR_POLYLINE = 4;
constexpr uint32_t EMR_SETWINDOWEXTEX = 9;
constexpr uint32_t EMR_SETWINDOWORGEX = 10;
constexpr uint32_t EMR_SETVIEWPORTEXTEX = 11;
constexpr uint32_t EMR_SETVIEWPORTORGEX = 12;
constexpr uint32_t EMR_EOF = 14;
constexpr uint32_t EMR_SETMAPMODE = 17;
constexpr uint32_t EMR_SETBKMODE = 18;
constexpr uint32_t EMR_SETTEXTALIGN = 22;
constexpr uint32_t EMR_SETTEXTCOLOR = 24;
constexpr uint32_t EMR_SETBKCOLOR = 25;
constexpr uint32_t EMR_MOVETOEX = 27;
constexpr uint32_t EMR_SAVEDC = 33;
constexpr uint32_t EMR_RESTOREDC = 34;
constexpr uint32_t EMR_SELECTOBJECT = 37;
constexpr uint32_t EMR_CREATEPEN = 38;
constexpr uint32_t EMR_CREATEBRUSHINDIRECT = 39;
constexpr uint32_t EMR_DELETEOBJECT = 40;
constexpr uint32_t EMR_RECTANGLE = 43;
constexpr uint32_t EMR_LINETO = 54;
constexpr uint32_t EMR_STRETCHDIBITS = 81;
constexpr uint32_t EMR_EXTCREATEFONTINDIRECTW = 82;
constexpr uint32_t EMR_EXTTEXTOUTA = 83;
constexpr uint32_t EMR_EXTTEXTOUTW = 84;
constexpr uint32_t EMR_POLYGON16 = 86;
constexpr uint32_t EMR_POLYLINE16 = 87;

constexpr uint32_t kSignature = 0x464D4520; // " EMF"
constexpr uint32_t kVersion = 0x00010000;

// EMR_HEADER with the extensions up to szlMicrometers:
//   0 type, 4 size, 8 rclBounds (16), 24 rclFrame (16), 40 dSignature, 44 nVersion, 48 nBytes,
//   52 nRecords, 56 nHandles (u16), 58 sReserved (u16), 60 nDescription, 64 offDescription,
//   68 nPalEntries, 72 szlDevice (8), 80 szlMillimeters (8), 88 cbPixelFormat, 92 offPixelFormat,
//   96 bOpenGL, 100 szlMicrometers (8)  -> 108 bytes.
constexpr uint32_t kHeaderSize = 108;
constexpr uint32_t kMinHeaderSize = 88; // the original header without extensions
constexpr size_t kNBytesOffset = 48;
constexpr size_t kNRecordsOffset = 52;
constexpr size_t kNHandlesOffset = 56;
constexpr size_t kBoundsOffset = 8;

// Every record: 0 type, 4 size (a multiple of 4), then its own fields.
constexpr uint32_t kRecordStartSize = 8;

// Whether [offset, offset + length) lies inside a record of recordSize bytes, past its type and
// size fields.
constexpr bool fitsInRecord(uint64_t offset, uint64_t length, size_t recordSize)
{
    return offset >= kRecordStartSize && offset <= recordSize && length <= recordSize - offset;
}

// EMR_EOF: 8 nPalEntries, 12 offPalEntries, 16 nSizeLast -> 20 bytes, with no palette.
constexpr uint32_t kEofSize = 20;

// Records of one 32-bit value at 8 (EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_SETTEXTALIGN,
// EMR_SETTEXTCOLOR, EMR_SETBKCOLOR, EMR_SETBKMODE, EMR_SETMAPMODE, EMR_RESTOREDC) -> 12 bytes.
constexpr uint32_t kValueRecordSize = 12;
// Records of two signed 32-bit values at 8 and 12, a point or a size (EMR_MOVETOEX, EMR_LINETO,
// EMR_SETWINDOWEXTEX, EMR_SETWINDOWORGEX, EMR_SETVIEWPORTEXTEX, EMR_SETVIEWPORTORGEX) -> 16 bytes.
constexpr uint32_t kPairRecordSize = 16;
// EMR_SAVEDC: no fields of its own.
constexpr uint32_t kSaveDcSize = 8;
// EMR_RECTANGLE: 8 rclBox (16) -> 24 bytes.
constexpr uint32_t kRectangleSize = 24;

// LOGPEN: 0 lopnStyle, 4 lopnWidth (x 4, y 4, only x used), 12 lopnColor -> 16 bytes.
// EMR_CREATEPEN: 8 ihPen, 12 LOGPEN -> 28 bytes.
constexpr uint32_t kCreatePenSize = 28;
// LOGBRUSH: 0 lbStyle, 4 lbColor, 8 lbHatch -> 12 bytes.
// EMR_CREATEBRUSHINDIRECT: 8 ihBrush, 12 LOGBRUSH -> 24 bytes.
constexpr uint32_t kCreateBrushSize = 24;

// LOGFONTW: 0 lfHeight, 4 lfWidth, 8 lfEscapement, 12 lfOrientation, 16 lfWeight, 20 lfItalic,
// 21 lfUnderline, 22 lfStrikeOut, 23 lfCharSet, 24 lfOutPrecision, 25 lfClipPrecision,
// 26 lfQuality, 27 lfPitchAndFamily, 28 lfFaceName (32 UTF-16 units, zero-filled) -> 92 bytes.
constexpr uint32_t kLogFontSize = 92;
// EMR_EXTCREATEFONTINDIRECTW with a plain LOGFONTW: 8 ihFont, 12 LOGFONTW -> 104 bytes.
constexpr uint32_t kExtCreateFontSize = 8 + 4 + kLogFontSize;

// EMR_POLYLINE, EMR_POLYGON: 8 rclBounds (16), 24 cptl, 28 the points (8 bytes each, 4 in the
// 16-bit records EMR_POLYLINE16 and EMR_POLYGON16).
constexpr uint32_t kPolyFixedSize = 28;

// EMR_EXTTEXTOUTA/W up to the string: 8 rclBounds (16), 24 iGraphicsMode, 28 exScale (f32),
// 32 eyScale (f32), 36 EMRTEXT: ptlReference (8), 44 nChars, 48 offString, 52 fOptions,
// 56 rcl (16; absent with ETO_NO_RECT), 72 offDx -> 76 bytes. Then the string (padded to 4) and
// the advances (one i32 per character, two with ETO_PDY).
constexpr uint32_t kExtTextOutFixedSize = 76;
constexpr uint32_t kGmCompatible = 1;
constexpr uint32_t kEtoOpaque = 0x0002;
constexpr uint32_t kEtoClipped = 0x0004;
constexpr uint32_t kEtoNoRect = 0x0100;
constexpr uint32_t kEtoPdy = 0x2000; // the advances come as (dx, dy) pairs

// EMR_STRETCHDIBITS: 8 rclBounds (16), 24 xDest, 28 yDest, 32 xSrc, 36 ySrc, 40 cxSrc, 44 cySrc,
// 48 offBmiSrc, 52 cbBmiSrc, 56 offBitsSrc, 60 cbBitsSrc, 64 iUsageSrc, 68 dwRop, 72 cxDest,
// 76 cyDest -> 80 bytes. Then, at the offsets given (from the record's start), the BITMAPINFO
// (a header and its colour table) and the bits. For a bottom-up DIB (positive biHeight) ySrc
// counts from the bottom row, as in GDI.
constexpr uint32_t kStretchDiBitsFixedSize = 80;
constexpr uint32_t kDibRgbColors = 0; // iUsageSrc: the colour table holds RGBQUADs
constexpr uint32_t kRopSrcCopy = 0x00CC0020;
constexpr uint32_t kRopSrcAnd = 0x008800C6; // dest = source AND dest: white source leaves dest

// BITMAPINFOHEADER: 0 biSize, 4 biWidth, 8 biHeight (negative: rows top-down), 12 biPlanes (u16),
// 14 biBitCount (u16), 16 biCompression, 20 biSizeImage, 24 biXPelsPerMeter, 28 biYPelsPerMeter,
// 32 biClrUsed, 36 biClrImportant -> 40 bytes. The larger V4 and V5 headers start with it. The
// colour table follows the header: RGBQUADs (0 blue, 1 green, 2 red, 3 reserved), biClrUsed of
// them, or 2^biBitCount when 0.
constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kRgbQuadSize = 4;

struct StretchDiBits {
    Rect bounds;
    int32_t xDest = 0;
    int32_t yDest = 0;
    int32_t xSrc = 0;
    int32_t ySrc = 0;
    int32_t cxSrc = 0;
    int32_t cySrc = 0;
    uint32_t offBmiSrc = 0;
    uint32_t cbBmiSrc = 0;
    uint32_t offBitsSrc = 0;
    uint32_t cbBitsSrc = 0;
    uint32_t usageSrc = kDibRgbColors;
    uint32_t rop = kRopSrcCopy;
    int32_t cxDest = 0;
    int32_t cyDest = 0;
};

struct BitmapInfoHeader {
    uint32_t size = kBitmapInfoHeaderSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 1;
    uint32_t compression = kBiRgb;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

// Bytes in one row of a DIB of width pixels at bitCount bits each: rows are padded to 4 bytes.
constexpr uint64_t dibStride(uint64_t width, uint32_t bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

struct TextRecord {
    Rect bounds;
    uint32_t graphicsMode = kGmCompatible;
    float exScale = 0.0f;
    float eyScale = 0.0f;
    Point reference;
    uint32_t nChars = 0;
    uint32_t offString = 0;
    uint32_t options = 0;
    Rect rcl;
    uint32_t offDx = 0;
};

struct Header {
    Rect bounds;
    Rect frame;
    uint32_t nBytes = 0;
    uint32_t nRecords = 0;
    uint16_t nHandles = 0;
    uint32_t nDescription = 0;
    uint32_t offDescription = 0;
    uint32_t nPalEntries = 0;
    Size device;
    Size millimeters;
    Size micrometers;
    uint32_t headerSize = kHeaderSize;
};

// Reads and checks the header record at the start of data: its type, size and signature, and that
// nBytes covers at least the header. Does not require data to hold nBytes bytes.
std::optional<Header> parseHeader(std::span<const uint8_t> data, std::string* error = nullptr);

// Writes the 108-byte header record.
void writeHeader(ByteWriter& out, const Header& h);

// The writers of the records that every text run makes (font, selection, alignment, colour, text)
// are defined here, inline, so that the recorder writes them straight into its buffer.

inline void writeRect(ByteWriter& out, const Rect& r)
{
    out.i32(r.left);
    out.i32(r.top);
    out.i32(r.right);
    out.i32(r.bottom);
}

Rect readRect(ByteReader& in);
Point readPoint(ByteReader& in);
Size readSize(ByteReader& in);

inline void writeRecordStart(ByteWriter& out, uint32_t type, uint32_t size)
{
    out.u32(type);
    out.u32(size);
}

void writeEof(ByteWriter& out);

inline void writeValueRecord(ByteWriter& out, uint32_t type, uint32_t value)
{
    writeRecordStart(out, type, kValueRecordSize);
    out.u32(value);
}

inline void writePairRecord(ByteWriter& out, uint32_t type, int32_t a, int32_t b)
{
    writeRecordStart(out, type, kPairRecordSize);
    out.i32(a);
    out.i32(b);
}

void writeSaveDc(ByteWriter& out);
void writeRectangle(ByteWriter& out, const Rect& box);

void writeCreatePen(ByteWriter& out, uint32_t index, const LogPen& pen);
LogPen readLogPen(ByteReader& in);
void writeCreateBrush(ByteWriter& out, uint32_t index, const LogBrush& brush);
LogBrush readLogBrush(ByteReader& in);

// The numbers and the flags of the font each go out as one array: a bounds check and a copy each.
inline void writeLogFont(ByteWriter& out, const LogFont& f)
{
    const int32_t numbers[5] = {f.height, f.width, f.escapement, f.orientation, f.weight};
    out.i32s(numbers);
    const uint8_t flags[8] = {f.italic,       f.underline,     f.strikeOut, f.charSet,
                              f.outPrecision, f.clipPrecision, f.quality,   f.pitchAndFamily};
    out.bytes(flags, sizeof flags);
    size_t n = f.faceName.size() < 31 ? f.faceName.size() : 31;
    out.u16s(std::u16string_view(f.faceName).substr(0, n));
    out.zeros((32 - n) * 2);
}

LogFont readLogFont(ByteReader& in);

inline void writeExtCreateFont(ByteWriter& out, uint32_t index, const LogFont& font)
{
    writeRecordStart(out, EMR_EXTCREATEFONTINDIRECTW, kExtCreateFontSize);
    out.u32(index);
    writeLogFont(out, font);
}

// The fixed part of a polyline or polygon record of 32-bit points; the points follow.
void writePolyStart(ByteWriter& out, uint32_t type, const Rect& bounds, uint32_t count);

// The fixed part of EMR_EXTTEXTOUTA/W of size bytes in all (always with rcl); string and
// advances follow.
inline void writeTextStart(ByteWriter& out, uint32_t type, uint32_t size, const TextRecord& t)
{
    writeRecordStart(out, type, size);
    writeRect(out, t.bounds);
    out.u32(t.graphicsMode);
    out.f32(t.exScale);
    out.f32(t.eyScale);
    out.i32(t.reference.x);
    out.i32(t.reference.y);
    out.u32(t.nChars);
    out.u32(t.offString);
    out.u32(t.options);
    writeRect(out, t.rcl);
    out.u32(t.offDx);
}

// Reads the fixed part from the start of the record (rcl stays empty with ETO_NO_RECT).
TextRecord readTextStart(ByteReader& in);

// The fixed part of EMR_STRETCHDIBITS of size bytes in all; header, colours and bits follow.
void writeStretchDiBitsStart(ByteWriter& out, uint32_t size, const StretchDiBits& r);
// Reads the fixed part from the start of the record.
StretchDiBits readStretchDiBitsStart(ByteReader& in);

void writeBitmapInfoHeader(ByteWriter& out, const BitmapInfoHeader& h);
BitmapInfoHeader readBitmapInfoHeader(ByteReader& in);

} // namespace quillon::emf
