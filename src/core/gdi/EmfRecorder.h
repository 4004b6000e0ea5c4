#pragma once
// A drawing context that records every call as EMF records: the page picture of one page.

#include "DrawingContext.h"
#include "EmfFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

class EmfRecorder final : public DrawingContext {
public:
    // frame: the picture frame (the paper) in 0.01 mm. One logical unit of the default mapping is
    // one device unit of 0.01 mm.
    explicit EmfRecorder(Size frame);

    // Starts a new, empty picture with the given frame; the buffer's memory is reused.
    void restart(Size frame);

    // Completes the picture (EMR_EOF and the header's totals) and returns its bytes. The recorder
    // must be restarted before it records again.
    const std::vector<uint8_t>& finish();
    // The same, for a picture that is written out before the recorder starts the next one: the
    // bytes stay in the buffer, which keeps its size, so the next page does not clear it again.
    std::span<const uint8_t> complete();
    bool finished() const { return m_finished; }

    GdiObject createFont(const LogFont& font) override;
    GdiObject createPen(const LogPen& pen) override;
    GdiObject createBrush(const LogBrush& brush) override;
    GdiObject selectObject(GdiObject object) override;
    bool deleteObject(GdiObject object) override;

    uint32_t setTextAlign(uint32_t align) override;
    ColorRef setTextColor(ColorRef color) override;
    ColorRef setBkColor(ColorRef color) override;
    int setBkMode(int mode) override;

    int setMapMode(int mode) override;
    void setWindowExt(Size ext) override;
    void setWindowOrg(Point org) override;
    void setViewportExt(Size ext) override;
    void setViewportOrg(Point org) override;
    Point windowOrg() const override { return m_state.windowOrg; }
    int saveDC() override;
    bool restoreDC(int saved) override;

    bool extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                     std::span<const int32_t> dx) override;
    bool extTextOutW(Point ref, uint32_t options, const Rect* clip, std::u16string_view text,
                     std::span<const int32_t> dx) override;

    void moveTo(Point p) override;
    void lineTo(Point p) override;
    void rectangle(const Rect& r) override;
    void polyline(std::span<const Point> points) override;
    void polygon(std::span<const Point> points) override;
    void drawMonoBitmap(const Rect& dest, const MonoBitmap& bitmap) override;

private:
    using Kind = GdiObjectKind;

    // Room for a record of size bytes at the end of the picture, and a writer there. Defined
    // here, like simpleRecord() (a text run makes six such records), so that the writer of a
    // record is a local of its caller, kept in registers.
    ByteWriter beginRecord(size_t size)
    {
        const size_t at = m_size;
        if (at + size > m_bytes.size())
            growBuffer(at + size);
        m_size = at + size;
        ++m_records;
        return ByteWriter(m_bytes, at);
    }
    void growBuffer(size_t needed);
    void simpleRecord(uint32_t type, uint32_t value)
    {
        ByteWriter w = beginRecord(emf::kValueRecordSize);
        emf::writeValueRecord(w, type, value);
    }
    void pairRecord(uint32_t type, int32_t a, int32_t b);
    uint32_t allocHandle(Kind kind);
    Kind kindOf(GdiObject object) const;
    void addBounds(const Rect& r);
    bool textOut(uint32_t type, Point ref, uint32_t options, const Rect* clip, const void* chars,
                 size_t count, size_t charSize, std::span<const int32_t> dx);
    void polyRecord(uint32_t type, std::span<const Point> points);

    std::vector<uint8_t> m_bytes;
    size_t m_size = 0;
    Size m_frame;
    uint32_t m_records = 0;
    bool m_finished = false;
    std::vector<Kind> m_handles; // index 0 is reserved, as in the EMF handle table
    size_t m_handleHigh = 1;     // one past the highest handle index ever used
    struct State {
        GdiObject font = stockObject(StockObject::SystemFont);
        GdiObject pen = stockObject(StockObject::BlackPen);
        GdiObject brush = stockObject(StockObject::WhiteBrush);
        int32_t fontHeight = 0;
        uint32_t textAlign = 0;
        ColorRef textColor = 0;
        ColorRef bkColor = 0xFFFFFF;
        int bkMode = kOpaque;
        int mapMode = kMmText;
        Point windowOrg;
    };
    State m_state;
    std::vector<State> m_saved;
    std::vector<int32_t> m_fontHeights; // per handle, for the bounds of text
    Point m_position;
    Rect m_bounds;
    bool m_hasBounds = false;
};

} // namespace quillon
