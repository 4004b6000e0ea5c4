#pragma once
// The GDI objects that a fake drawing context hands out, and the rules its caller must keep: only
// a live or a stock font, pen or brush is selected; only a live object is deleted, and never while
// it is selected. A call that breaks a rule is refused as GDI refuses it (0 or false) and, when a
// list is given, written down there.

#include "gdi/DrawingContext.h"

#include <map>
#include <string>
#include <vector>

namespace quillon::test {

class GdiObjectBook {
public:
    // Handles start at first and grow by step: a step other than 1 makes a handle mixed up with
    // a picture's table index show. misuse (may be null) outlives the book.
    explicit GdiObjectBook(std::vector<std::string>* misuse = nullptr, GdiObject first = 1, GdiObject step = 1)
        : m_misuse(misuse), m_next(first), m_step(step)
    {
    }

    GdiObject create(GdiObjectKind kind)
    {
        const GdiObject h = m_next;
        m_next += m_step;
        m_live[h] = kind;
        return h;
    }

    GdiObjectKind kindOf(GdiObject o) const
    {
        if (isStockObject(o))
            return stockObjectKind(o);
        const auto it = m_live.find(o);
        return it == m_live.end() ? GdiObjectKind::None : it->second;
    }

    // The object of its kind selected before; 0 for an object that cannot be selected.
    GdiObject select(GdiObject o)
    {
        GdiObject* slot = slotOf(kindOf(o));
        if (!slot)
            return misused("select of unknown object " + std::to_string(o)), 0;
        const GdiObject previous = *slot;
        *slot = o;
        return previous;
    }

    bool remove(GdiObject o)
    {
        const auto it = m_live.find(o);
        if (it == m_live.end())
            return misused("delete of unknown object " + std::to_string(o)), false;
        if (selected(it->second) == o)
            return misused("delete of a selected object " + std::to_string(o)), false;
        m_live.erase(it);
        ++m_deleted;
        return true;
    }

    GdiObject selected(GdiObjectKind kind) const
    {
        const GdiObject* slot = const_cast<GdiObjectBook*>(this)->slotOf(kind);
        return slot ? *slot : 0;
    }
    bool empty() const { return m_live.empty(); } // every object created was deleted
    size_t live() const { return m_live.size(); }
    int deleted() const { return m_deleted; }

private:
    GdiObject* slotOf(GdiObjectKind kind)
    {
        switch (kind) {
        case GdiObjectKind::Font:
            return &m_font;
        case GdiObjectKind::Pen:
            return &m_pen;
        case GdiObjectKind::Brush:
            return &m_brush;
        default:
            return nullptr;
        }
    }
    void misused(std::string what)
    {
        if (m_misuse)
            m_misuse->push_back(std::move(what));
    }

    std::vector<std::string>* m_misuse;
    GdiObject m_next;
    GdiObject m_step;
    std::map<GdiObject, GdiObjectKind> m_live;
    GdiObject m_font = stockObject(StockObject::SystemFont);
    GdiObject m_pen = stockObject(StockObject::BlackPen);
    GdiObject m_brush = stockObject(StockObject::WhiteBrush);
    int m_deleted = 0;
};

} // namespace quillon::test
