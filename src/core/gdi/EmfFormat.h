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

// LOGFONTW: 5 × i32, 8 × u8, 32 UTF-16 units of face name.
constexpr uint32_t kLogFontSize = 92;
// EMR_EXTCREATEFONTINDIRECTW with a plain LOGFONTW: 8 + ihFont + LOGFONTW.
constexpr uint32_t kExtCreateFontSize = 8 + 4 + kLogFontSize;
// EMR_EXTTEXTOUTA/W up to the string: 8 + rclBounds 16 + iGraphicsMode 4 + exScale 4 + eyScale 4
// + EMRTEXT (ptlReference 8, nChars 4, offString 4, fOptions 4, rcl 16, offDx 4).
constexpr uint32_t kExtTextOutFixedSize = 76;
constexpr uint32_t kGmCompatible = 1;
constexpr uint32_t kEtoOpaque = 0x0002;
constexpr uint32_t kEtoClipped = 0x0004;
constexpr uint32_t kEtoNoRect = 0x0100;

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

Rect readRect(ByteReader& in);
Point readPoint(ByteReader& in);
Size readSize(ByteReader& in);

void writeLogFont(ByteWriter& out, const LogFont& font);
LogFont readLogFont(ByteReader& in);

} // namespace quillon::emf
