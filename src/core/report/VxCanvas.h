#pragma once
// The page canvas handed to the page handler: the drawing context of one page picture.

#include "gdi/DrawingContext.h"

namespace quillon {

class TVxCanvas {
public:
    // dc is the recording surface of the page; it outlives the canvas.
    explicit TVxCanvas(DrawingContext& dc) : m_dc(dc)
    {
        m_previousFont = m_dc.selectObject(stockObject(StockObject::SystemFont));
    }
    ~TVxCanvas()
    {
        if (m_previousFont)
            m_dc.selectObject(m_previousFont);
    }
    TVxCanvas(const TVxCanvas&) = delete;
    TVxCanvas& operator=(const TVxCanvas&) = delete;

    DrawingContext& handle() { return m_dc; }

    // Brush style "clear": text and shapes are drawn without a background from now on.
    void setBrushStyleClear()
    {
        if (m_brushClear)
            return;
        m_dc.selectObject(stockObject(StockObject::NullBrush));
        m_dc.setBkMode(kTransparent);
        m_brushClear = true;
    }

private:
    DrawingContext& m_dc;
    GdiObject m_previousFont = 0;
    bool m_brushClear = false;
};

} // namespace quillon
