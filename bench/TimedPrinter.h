#pragma once
// The PDF file printer with the time spent inside its page surface's drawing calls (the QPainter
// device and Qt's PDF engine behind it) and inside its page turns summed.

#include "Measure.h"
#include "PdfPrinter.h"

#include <chrono>
#include <cstdint>

namespace quillon::bench {

// Sums the time spent inside another drawing context's calls.
class TimedContext final : public DrawingContext {
public:
    void setTarget(DrawingContext* target) { m_target = target; }
    double seconds() const { return std::chrono::duration<double>(m_spent).count(); }
    int64_t calls() const { return m_calls; }
    int64_t textCalls() const { return m_textCalls; }

    GdiObject createFont(const LogFont& f) override { return timed([&] { return m_target->createFont(f); }); }
    GdiObject createPen(const LogPen& p) override { return timed([&] { return m_target->createPen(p); }); }
    GdiObject createBrush(const LogBrush& b) override { return timed([&] { return m_target->createBrush(b); }); }
    GdiObject selectObject(GdiObject o) override { return timed([&] { return m_target->selectObject(o); }); }
    bool deleteObject(GdiObject o) override { return timed([&] { return m_target->deleteObject(o); }); }
    uint32_t setTextAlign(uint32_t a) override { return timed([&] { return m_target->setTextAlign(a); }); }
    ColorRef setTextColor(ColorRef c) override { return timed([&] { return m_target->setTextColor(c); }); }
    ColorRef setBkColor(ColorRef c) override { return timed([&] { return m_target->setBkColor(c); }); }
    int setBkMode(int m) override { return timed([&] { return m_target->setBkMode(m); }); }
    int setMapMode(int m) override { return timed([&] { return m_target->setMapMode(m); }); }
    void setWindowExt(Size s) override { timed([&] { m_target->setWindowExt(s); }); }
    void setWindowOrg(Point p) override { timed([&] { m_target->setWindowOrg(p); }); }
    void setViewportExt(Size s) override { timed([&] { m_target->setViewportExt(s); }); }
    void setViewportOrg(Point p) override { timed([&] { m_target->setViewportOrg(p); }); }
    Point windowOrg() const override { return m_target->windowOrg(); }
    int saveDC() override { return timed([&] { return m_target->saveDC(); }); }
    bool restoreDC(int s) override { return timed([&] { return m_target->restoreDC(s); }); }
    bool extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                     std::span<const int32_t> dx) override
    {
        ++m_textCalls;
        return timed([&] { return m_target->extTextOutA(ref, options, clip, bytes, dx); });
    }
    bool extTextOutW(Point ref, uint32_t options, const Rect* clip, std::u16string_view text,
                     std::span<const int32_t> dx) override
    {
        ++m_textCalls;
        return timed([&] { return m_target->extTextOutW(ref, options, clip, text, dx); });
    }
    void moveTo(Point p) override { timed([&] { m_target->moveTo(p); }); }
    void lineTo(Point p) override { timed([&] { m_target->lineTo(p); }); }
    void rectangle(const Rect& r) override { timed([&] { m_target->rectangle(r); }); }
    void polyline(std::span<const Point> p) override { timed([&] { m_target->polyline(p); }); }
    void polygon(std::span<const Point> p) override { timed([&] { m_target->polygon(p); }); }
    void drawMonoBitmap(const Rect& d, const MonoBitmap& b) override { timed([&] { m_target->drawMonoBitmap(d, b); }); }

private:
    template <class F>
    auto timed(F&& f) -> decltype(f())
    {
        ++m_calls;
        const auto start = Clock::now();
        struct Add {
            Clock::duration& spent;
            Clock::time_point start;
            ~Add() { spent += Clock::now() - start; }
        } add{m_spent, start};
        return f();
    }

    DrawingContext* m_target = nullptr;
    Clock::duration m_spent{};
    int64_t m_calls = 0;
    int64_t m_textCalls = 0;
};

// The PDF file printer with its page surface and its page turns timed.
class TimedPrinter final : public ReportPrinter {
public:
    explicit TimedPrinter(PdfFilePrinter& inner) : m_inner(inner) {}

    bool selectDefaultPrinter() override { return m_inner.selectDefaultPrinter(); }
    std::optional<PrinterPageMetrics> pageMetrics() override { return m_inner.pageMetrics(); }
    void setOrientation(PrinterOrientation o) override { m_inner.setOrientation(o); }
    void setDocumentTitle(const std::string& t) override { m_inner.setDocumentTitle(t); }
    bool beginDoc() override { return turn([&] { return m_inner.beginDoc(); }); }
    bool endDoc() override { return turn([&] { return m_inner.endDoc(); }); }
    bool newPage() override { return turn([&] { return m_inner.newPage(); }); }
    bool abortDoc() override { return m_inner.abortDoc(); }
    bool printing() const override { return m_inner.printing(); }
    DrawingContext* pageSurface() override
    {
        DrawingContext* surface = m_inner.pageSurface();
        if (!surface)
            return nullptr;
        m_surface.setTarget(surface);
        return &m_surface;
    }
    std::string lastError() const override { return m_inner.lastError(); }

    const TimedContext& surface() const { return m_surface; }
    double turnSeconds() const { return m_turnSeconds; }

private:
    template <class F>
    bool turn(F&& f)
    {
        const auto start = Clock::now();
        bool ok = f();
        m_turnSeconds += secondsSince(start);
        return ok;
    }

    PdfFilePrinter& m_inner;
    TimedContext m_surface;
    double m_turnSeconds = 0;
};

} // namespace quillon::bench
