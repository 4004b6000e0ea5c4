#pragma once
// A drawing context that draws nothing and keeps only its state and the rules of its objects
// (GdiObjectBook): a page surface that costs next to nothing.

#include "GdiObjectBook.h"

#include <utility>

namespace quillon::test {

class NullContext : public DrawingContext {
public:
    GdiObject createFont(const LogFont&) override { return objects.create(GdiObjectKind::Font); }
    GdiObject createPen(const LogPen&) override { return objects.create(GdiObjectKind::Pen); }
    GdiObject createBrush(const LogBrush&) override { return objects.create(GdiObjectKind::Brush); }
    GdiObject selectObject(GdiObject object) override { return objects.select(object); }
    bool deleteObject(GdiObject object) override { return objects.remove(object); }
    uint32_t setTextAlign(uint32_t align) override { return std::exchange(m_align, align); }
    ColorRef setTextColor(ColorRef c) override { return std::exchange(m_textColor, c); }
    ColorRef setBkColor(ColorRef c) override { return std::exchange(m_bkColor, c); }
    int setBkMode(int mode) override { return std::exchange(m_bkMode, mode); }
    int setMapMode(int mode) override { return std::exchange(m_mapMode, mode); }
    void setWindowExt(Size) override {}
    void setWindowOrg(Point org) override { m_windowOrg = org; }
    void setViewportExt(Size) override {}
    void setViewportOrg(Point) override {}
    Point windowOrg() const override { return m_windowOrg; }
    int saveDC() override { return ++m_saved; }
    bool restoreDC(int) override { return m_saved > 0 ? (--m_saved, true) : false; }
    bool extTextOutA(Point, uint32_t, const Rect*, std::string_view, std::span<const int32_t>) override
    {
        return true;
    }
    bool extTextOutW(Point, uint32_t, const Rect*, std::u16string_view, std::span<const int32_t>) override
    {
        return true;
    }
    void moveTo(Point) override {}
    void lineTo(Point) override {}
    void rectangle(const Rect&) override {}
    void polyline(std::span<const Point>) override {}
    void polygon(std::span<const Point>) override {}
    void drawMonoBitmap(const Rect&, const MonoBitmap&) override {}

    GdiObjectBook objects;

private:
    uint32_t m_align = 0;
    ColorRef m_textColor = 0;
    ColorRef m_bkColor = 0xFFFFFF;
    int m_bkMode = kOpaque;
    int m_mapMode = kMmText;
    Point m_windowOrg;
    int m_saved = 0;
};

} // namespace quillon::test
