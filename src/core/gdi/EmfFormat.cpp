#include "EmfFormat.h"

#include <algorithm>
#include <climits>

namespace quillon::emf {

namespace {

void fail(std::string* error, const char* why)
{
    if (error)
        *error = why;
}

} // namespace

Rect readRect(ByteReader& in)
{
    Rect r;
    r.left = in.i32();
    r.top = in.i32();
    r.right = in.i32();
    r.bottom = in.i32();
    return r;
}

Point readPoint(ByteReader& in)
{
    Point p;
    p.x = in.i32();
    p.y = in.i32();
    return p;
}

Size readSize(ByteReader& in)
{
    Size s;
    s.cx = in.i32();
    s.cy = in.i32();
    return s;
}

std::optional<Header> parseHeader(std::span<const uint8_t> data, std::string* error)
{
    ByteReader in(data);
    uint32_t type = in.u32();
    uint32_t size = in.u32();
    if (!in.ok()) {
        fail(error, "too short for an EMF header");
        return std::nullopt;
    }
    if (type != EMR_HEADER) {
        fail(error, "the first record is not an EMF header");
        return std::nullopt;
    }
    if (size < kMinHeaderSize || size % 4 != 0 || size > data.size()) {
        fail(error, "the EMF header has an impossible size");
        return std::nullopt;
    }
    Header h;
    h.headerSize = size;
    h.bounds = readRect(in);
    h.frame = readRect(in);
    uint32_t signature = in.u32();
    in.u32(); // nVersion: readers accept any
    h.nBytes = in.u32();
    h.nRecords = in.u32();
    h.nHandles = in.u16();
    in.u16();
    h.nDescription = in.u32();
    h.offDescription = in.u32();
    h.nPalEntries = in.u32();
    h.device = readSize(in);
    h.millimeters = readSize(in);
    if (size >= kHeaderSize) {
        in.skip(12);
        h.micrometers = readSize(in);
    } else {
        auto micro = [](int32_t mm) {
            return int32_t(std::clamp<int64_t>(int64_t(mm) * 1000, INT32_MIN, INT32_MAX));
        };
        h.micrometers = {micro(h.millimeters.cx), micro(h.millimeters.cy)};
    }
    if (!in.ok()) {
        fail(error, "too short for an EMF header");
        return std::nullopt;
    }
    if (signature != kSignature) {
        fail(error, "the EMF signature is missing");
        return std::nullopt;
    }
    if (h.nBytes < size || h.nBytes % 4 != 0) {
        fail(error, "the EMF header states an impossible total size");
        return std::nullopt;
    }
    return h;
}

void writeHeader(ByteWriter& out, const Header& h)
{
    out.u32(EMR_HEADER);
    out.u32(kHeaderSize);
    writeRect(out, h.bounds);
    writeRect(out, h.frame);
    out.u32(kSignature);
    out.u32(kVersion);
    out.u32(h.nBytes);
    out.u32(h.nRecords);
    out.u16(h.nHandles);
    out.u16(0);
    out.u32(h.nDescription);
    out.u32(h.offDescription);
    out.u32(h.nPalEntries);
    out.i32(h.device.cx);
    out.i32(h.device.cy);
    out.i32(h.millimeters.cx);
    out.i32(h.millimeters.cy);
    out.u32(0); // cbPixelFormat
    out.u32(0); // offPixelFormat
    out.u32(0); // bOpenGL
    out.i32(h.micrometers.cx);
    out.i32(h.micrometers.cy);
}

void writeEof(ByteWriter& out)
{
    writeRecordStart(out, EMR_EOF, kEofSize);
    out.u32(0);         // nPalEntries
    out.u32(16);        // offPalEntries
    out.u32(kEofSize);  // nSizeLast
}

void writeSaveDc(ByteWriter& out)
{
    writeRecordStart(out, EMR_SAVEDC, kSaveDcSize);
}

void writeRectangle(ByteWriter& out, const Rect& box)
{
    writeRecordStart(out, EMR_RECTANGLE, kRectangleSize);
    writeRect(out, box);
}

void writeCreatePen(ByteWriter& out, uint32_t index, const LogPen& pen)
{
    writeRecordStart(out, EMR_CREATEPEN, kCreatePenSize);
    out.u32(index);
    out.u32(pen.style);
    out.i32(pen.width);
    out.i32(0);
    out.u32(pen.color);
}

LogPen readLogPen(ByteReader& in)
{
    LogPen pen;
    pen.style = in.u32();
    pen.width = in.i32();
    in.i32(); // the y of the width is not used
    pen.color = in.u32();
    return pen;
}

void writeCreateBrush(ByteWriter& out, uint32_t index, const LogBrush& brush)
{
    writeRecordStart(out, EMR_CREATEBRUSHINDIRECT, kCreateBrushSize);
    out.u32(index);
    out.u32(brush.style);
    out.u32(brush.color);
    out.u32(brush.hatch);
}

LogBrush readLogBrush(ByteReader& in)
{
    LogBrush brush;
    brush.style = in.u32();
    brush.color = in.u32();
    brush.hatch = in.u32();
    return brush;
}

void writePolyStart(ByteWriter& out, uint32_t type, const Rect& bounds, uint32_t count)
{
    writeRecordStart(out, type, uint32_t(kPolyFixedSize + 8 * uint64_t(count)));
    writeRect(out, bounds);
    out.u32(count);
}

TextRecord readTextStart(ByteReader& in)
{
    TextRecord t;
    in.skip(kRecordStartSize);
    t.bounds = readRect(in);
    t.graphicsMode = in.u32();
    t.exScale = in.f32();
    t.eyScale = in.f32();
    t.reference = readPoint(in);
    t.nChars = in.u32();
    t.offString = in.u32();
    t.options = in.u32();
    if (!(t.options & kEtoNoRect))
        t.rcl = readRect(in);
    t.offDx = in.u32();
    return t;
}

void writeStretchDiBitsStart(ByteWriter& out, uint32_t size, const StretchDiBits& r)
{
    writeRecordStart(out, EMR_STRETCHDIBITS, size);
    writeRect(out, r.bounds);
    out.i32(r.xDest);
    out.i32(r.yDest);
    out.i32(r.xSrc);
    out.i32(r.ySrc);
    out.i32(r.cxSrc);
    out.i32(r.cySrc);
    out.u32(r.offBmiSrc);
    out.u32(r.cbBmiSrc);
    out.u32(r.offBitsSrc);
    out.u32(r.cbBitsSrc);
    out.u32(r.usageSrc);
    out.u32(r.rop);
    out.i32(r.cxDest);
    out.i32(r.cyDest);
}

StretchDiBits readStretchDiBitsStart(ByteReader& in)
{
    StretchDiBits r;
    in.skip(kRecordStartSize);
    r.bounds = readRect(in);
    r.xDest = in.i32();
    r.yDest = in.i32();
    r.xSrc = in.i32();
    r.ySrc = in.i32();
    r.cxSrc = in.i32();
    r.cySrc = in.i32();
    r.offBmiSrc = in.u32();
    r.cbBmiSrc = in.u32();
    r.offBitsSrc = in.u32();
    r.cbBitsSrc = in.u32();
    r.usageSrc = in.u32();
    r.rop = in.u32();
    r.cxDest = in.i32();
    r.cyDest = in.i32();
    return r;
}

void writeBitmapInfoHeader(ByteWriter& out, const BitmapInfoHeader& h)
{
    out.u32(h.size);
    out.i32(h.width);
    out.i32(h.height);
    out.u16(h.planes);
    out.u16(h.bitCount);
    out.u32(h.compression);
    out.u32(h.sizeImage);
    out.i32(h.xPelsPerMeter);
    out.i32(h.yPelsPerMeter);
    out.u32(h.clrUsed);
    out.u32(h.clrImportant);
}

BitmapInfoHeader readBitmapInfoHeader(ByteReader& in)
{
    BitmapInfoHeader h;
    h.size = in.u32();
    h.width = in.i32();
    h.height = in.i32();
    h.planes = in.u16();
    h.bitCount = in.u16();
    h.compression = in.u32();
    h.sizeImage = in.u32();
    h.xPelsPerMeter = in.i32();
    h.yPelsPerMeter = in.i32();
    h.clrUsed = in.u32();
    h.clrImportant = in.u32();
    return h;
}

LogFont readLogFont(ByteReader& in)
{
    LogFont f;
    f.height = in.i32();
    f.width = in.i32();
    f.escapement = in.i32();
    f.orientation = in.i32();
    f.weight = in.i32();
    f.italic = in.u8();
    f.underline = in.u8();
    f.strikeOut = in.u8();
    f.charSet = in.u8();
    f.outPrecision = in.u8();
    f.clipPrecision = in.u8();
    f.quality = in.u8();
    f.pitchAndFamily = in.u8();
    for (int i = 0; i < 32; ++i) {
        char16_t c = char16_t(in.u16());
        if (c == 0) {
            in.skip(size_t(31 - i) * 2);
            break;
        }
        f.faceName.push_back(c);
    }
    if (f.faceName.size() > 31)
        f.faceName.resize(31);
    return f;
}

} // namespace quillon::emf
