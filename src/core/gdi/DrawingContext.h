#pragma once
// The subset of a GDI drawing context that the program draws with. Implemented by the EMF
// recorder (page pictures) and by the QPainter device (screen, PNG, PDF and paper); the EMF
// player replays a picture onto any of them.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

using ColorRef = uint32_t; // 0x00BBGGRR, as in GDI

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Character sets and pitch values of LOGFONT that the program uses.
constexpr uint8_t kAnsiCharset = 0;
constexpr uint8_t kDefaultCharset = 1;
constexpr uint8_t kOemCharset = 255;
constexpr uint8_t kFixedPitch = 1;

struct LogFont {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 400;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = kDefaultCharset;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::u16string faceName; // at most 31 characters are kept
    friend bool operator==(const LogFont&, const LogFont&) = default;
};

// Pen styles and brush styles used by the player.
constexpr uint32_t kPsSolid = 0;
constexpr uint32_t kPsNull = 5;
constexpr uint32_t kBsSolid = 0;
constexpr uint32_t kBsNull = 1;

struct LogPen {
    uint32_t style = kPsSolid;
    int32_t width = 0;
    ColorRef color = 0;
    friend bool operator==(const LogPen&, const LogPen&) = default;
};

struct LogBrush {
    uint32_t style = kBsSolid;
    ColorRef color = 0;
    uint32_t hatch = 0;
    friend bool operator==(const LogBrush&, const LogBrush&) = default;
};

// Handles of GDI objects. 0 is "no object"; stock objects carry the high bit, as in EMF.
using GdiObject = uint32_t;

enum class StockObject : uint32_t {
    WhiteBrush = 0,
    LtGrayBrush = 1,
    GrayBrush = 2,
    DkGrayBrush = 3,
    BlackBrush = 4,
    NullBrush = 5,
    WhitePen = 6,
    BlackPen = 7,
    NullPen = 8,
    OemFixedFont = 10,
    AnsiFixedFont = 11,
    AnsiVarFont = 12,
    SystemFont = 13,
    DeviceDefaultFont = 14,
    DefaultPalette = 15,
    SystemFixedFont = 16,
    DefaultGuiFont = 17,
};

constexpr GdiObject kStockFlag = 0x80000000u;
constexpr GdiObject stockObject(StockObject s) { return kStockFlag | uint32_t(s); }
constexpr bool isStockObject(GdiObject o) { return (o & kStockFlag) != 0; }
// The index of a stock object handle (its StockObject value).
constexpr uint32_t stockIndex(GdiObject o) { return o & ~kStockFlag; }

enum class GdiObjectKind : uint8_t { None, Font, Pen, Brush, Palette };

// What a stock object handle stands for; None for a handle that is not a stock object or an
// index that names none (9, and anything past DefaultGuiFont).
constexpr GdiObjectKind stockObjectKind(GdiObject o)
{
    if (!isStockObject(o))
        return GdiObjectKind::None;
    const uint32_t i = stockIndex(o);
    if (i <= uint32_t(StockObject::NullBrush))
        return GdiObjectKind::Brush;
    if (i <= uint32_t(StockObject::NullPen))
        return GdiObjectKind::Pen;
    if (i == uint32_t(StockObject::DefaultPalette))
        return GdiObjectKind::Palette;
    if (i >= uint32_t(StockObject::OemFixedFont) && i <= uint32_t(StockObject::DefaultGuiFont))
        return GdiObjectKind::Font;
    return GdiObjectKind::None;
}

// The pen a stock pen stands for: WhitePen white, NullPen none, any other black.
constexpr LogPen stockPen(GdiObject o)
{
    switch (StockObject(stockIndex(o))) {
    case StockObject::WhitePen:
        return {kPsSolid, 0, 0xFFFFFF};
    case StockObject::NullPen:
        return {kPsNull, 0, 0};
    default:
        return {kPsSolid, 0, 0};
    }
}

// The brush a stock brush stands for: the five greys from white to black, then NullBrush.
constexpr LogBrush stockBrush(GdiObject o)
{
    constexpr ColorRef greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    const uint32_t i = stockIndex(o);
    return i < 5 ? LogBrush{kBsSolid, greys[i], 0} : LogBrush{kBsNull, 0, 0};
}

// Text alignment flags (SetTextAlign).
constexpr uint32_t kTaNoUpdateCp = 0;
constexpr uint32_t kTaUpdateCp = 1;
constexpr uint32_t kTaLeft = 0;
constexpr uint32_t kTaRight = 2;
constexpr uint32_t kTaCenter = 6;
constexpr uint32_t kTaTop = 0;
constexpr uint32_t kTaBottom = 8;
constexpr uint32_t kTaBaseline = 24;

// Background modes and mapping modes.
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;
constexpr int kMmText = 1;
constexpr int kMmLoMetric = 2;
constexpr int kMmHiMetric = 3;
constexpr int kMmLoEnglish = 4;
constexpr int kMmHiEnglish = 5;
constexpr int kMmTwips = 6;
constexpr int kMmIsotropic = 7;
constexpr int kMmAnisotropic = 8;

// A 1-bit picture of printer dots: width x height dots, rows from top to bottom, each row
// bytesPerRow() bytes with the leftmost dot in the most significant bit. A set bit is a black dot;
// a clear bit is paper and paints nothing, so a picture never covers what lies under it.
struct MonoBitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::span<const uint8_t> rows; // height * bytesPerRow() bytes

    constexpr int32_t bytesPerRow() const { return (width + 7) / 8; }
    constexpr bool valid() const
    {
        return width > 0 && height > 0 && rows.size() >= size_t(bytesPerRow()) * size_t(height);
    }
};

class DrawingContext {
public:
    virtual ~DrawingContext() = default;

    virtual GdiObject createFont(const LogFont& font) = 0;
    virtual GdiObject createPen(const LogPen& pen) = 0;
    virtual GdiObject createBrush(const LogBrush& brush) = 0;
    // Selects the object and returns the object of the same kind that it replaces (0 on failure).
    virtual GdiObject selectObject(GdiObject object) = 0;
    virtual bool deleteObject(GdiObject object) = 0;

    virtual uint32_t setTextAlign(uint32_t align) = 0;
    virtual ColorRef setTextColor(ColorRef color) = 0;
    virtual ColorRef setBkColor(ColorRef color) = 0;
    virtual int setBkMode(int mode) = 0;

    virtual int setMapMode(int mode) = 0;
    virtual void setWindowExt(Size ext) = 0;
    virtual void setWindowOrg(Point org) = 0;
    virtual void setViewportExt(Size ext) = 0;
    virtual void setViewportOrg(Point org) = 0;
    virtual Point windowOrg() const = 0;
    virtual int saveDC() = 0;
    virtual bool restoreDC(int saved) = 0;

    // Text output with one advance per character (dx may be empty: the font's own advances).
    // clip is optional (nullptr: no clipping rectangle).
    virtual bool extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                             std::span<const int32_t> dx) = 0;
    virtual bool extTextOutW(Point ref, uint32_t options, const Rect* clip, std::u16string_view text,
                             std::span<const int32_t> dx) = 0;

    virtual void moveTo(Point p) = 0;
    virtual void lineTo(Point p) = 0;
    virtual void rectangle(const Rect& r) = 0;
    virtual void polyline(std::span<const Point> points) = 0;
    virtual void polygon(std::span<const Point> points) = 0;

    // Draws the black dots of bitmap stretched onto dest (logical units, right and bottom
    // exclusive); its clear bits leave the surface as it was.
    virtual void drawMonoBitmap(const Rect& dest, const MonoBitmap& bitmap) = 0;
};

} // namespace quillon
