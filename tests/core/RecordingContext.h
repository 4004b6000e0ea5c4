#pragma once
// A drawing context for tests that keeps what was drawn: every text output with the font
// selected at the time, and a log of all calls by name.

#include "gdi/DrawingContext.h"

#include <map>
#include <utility>
#include <string>
#include <vector>

namespace quillon::test {

struct TextCall {
    Point ref;
    std::string bytes;
    std::vector<int32_t> dx;
    LogFont font;
    uint32_t align = 0;
    ColorRef color = 0;
    int bkMode = 0;
};

struct BitmapCall {
    Rect dest;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rows;
    bool dot(int32_t x, int32_t y) const
    {
        const int32_t stride = (width + 7) / 8;
        return x >= 0 && y >= 0 && x < width && y < height
            && (rows[size_t(y) * size_t(stride) + size_t(x / 8)] & (0x80 >> (x % 8))) != 0;
    }
};

class RecordingContext : public DrawingContext {
public:
    std::vector<TextCall> texts;
    std::vector<BitmapCall> bitmaps;
    std::vector<std::string> log;
    std::map<GdiObject, LogFont> fonts;
    GdiObject currentFont = stockObject(StockObject::SystemFont);
    uint32_t align = 0;
    ColorRef color = 0;
    int bkMode = kOpaque;
    int live = 0; // objects created and not deleted
    GdiObject next = 1;
    Size windowExt{1, 1}, viewportExt{1, 1};
    Point windowOrgValue;
    int mapMode = kMmText;

    GdiObject createFont(const LogFont& f) override
    {
        log.push_back("createFont");
        fonts[next] = f;
        ++live;
        return next++;
    }
    GdiObject createPen(const LogPen&) override
    {
        log.push_back("createPen");
        ++live;
        return next++;
    }
    GdiObject createBrush(const LogBrush&) override
    {
        log.push_back("createBrush");
        ++live;
        return next++;
    }
    GdiObject selectObject(GdiObject o) override
    {
        log.push_back("selectObject");
        bool isFont = fonts.count(o) || o == stockObject(StockObject::SystemFont);
        if (!isFont)
            return stockObject(StockObject::WhiteBrush);
        GdiObject prev = currentFont;
        currentFont = o;
        return prev;
    }
    bool deleteObject(GdiObject o) override
    {
        log.push_back("deleteObject");
        if (o & kStockFlag)
            return false;
        --live;
        return true;
    }
    uint32_t setTextAlign(uint32_t a) override
    {
        log.push_back("setTextAlign");
        return std::exchange(align, a);
    }
    ColorRef setTextColor(ColorRef c) override
    {
        log.push_back("setTextColor");
        return std::exchange(color, c);
    }
    ColorRef setBkColor(ColorRef c) override { return c; }
    int setBkMode(int m) override
    {
        log.push_back("setBkMode");
        return std::exchange(bkMode, m);
    }
    int setMapMode(int m) override { return std::exchange(mapMode, m); }
    void setWindowExt(Size e) override { windowExt = e; }
    void setWindowOrg(Point o) override { windowOrgValue = o; }
    void setViewportExt(Size e) override { viewportExt = e; }
    void setViewportOrg(Point) override {}
    Point windowOrg() const override { return windowOrgValue; }
    int saveDC() override { return 1; }
    bool restoreDC(int) override { return true; }
    bool extTextOutA(Point ref, uint32_t, const Rect*, std::string_view bytes,
                     std::span<const int32_t> dx) override
    {
        log.push_back("extTextOutA");
        TextCall t;
        t.ref = ref;
        t.bytes = std::string(bytes);
        t.dx.assign(dx.begin(), dx.end());
        auto it = fonts.find(currentFont);
        if (it != fonts.end())
            t.font = it->second;
        t.align = align;
        t.color = color;
        t.bkMode = bkMode;
        texts.push_back(t);
        return true;
    }
    bool extTextOutW(Point ref, uint32_t, const Rect*, std::u16string_view text,
                     std::span<const int32_t> dx) override
    {
        log.push_back("extTextOutW");
        TextCall t;
        t.ref = ref;
        for (char16_t c : text)
            t.bytes.push_back(char(c));
        t.dx.assign(dx.begin(), dx.end());
        texts.push_back(t);
        return true;
    }
    void moveTo(Point) override {}
    void lineTo(Point) override {}
    void rectangle(const Rect&) override {}
    void polyline(std::span<const Point>) override {}
    void polygon(std::span<const Point>) override {}
    void drawMonoBitmap(const Rect& dest, const MonoBitmap& bitmap) override
    {
        log.push_back("drawMonoBitmap");
        BitmapCall b;
        b.dest = dest;
        b.width = bitmap.width;
        b.height = bitmap.height;
        b.rows.assign(bitmap.rows.begin(), bitmap.rows.begin() + size_t(bitmap.bytesPerRow()) * size_t(bitmap.height));
        bitmaps.push_back(std::move(b));
    }
};

} // namespace quillon::test
