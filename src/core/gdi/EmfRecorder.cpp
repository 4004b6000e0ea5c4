#include "EmfRecorder.h"

#include "MonoDib.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace quillon {

using namespace emf;

namespace {

constexpr size_t pad4(size_t n) { return (n + 3) & ~size_t(3); }

int32_t clamp32(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

EmfRecorder::EmfRecorder(Size frame)
{
    restart(frame);
}

void EmfRecorder::restart(Size frame)
{
    // Records are written into a buffer kept at its full capacity; m_size is how much is used.
    // So appending a record is a bounds check, not a call into the vector.
    m_bytes.resize(std::max<size_t>(m_bytes.capacity(), 64 * 1024));
    m_size = 0;
    m_frame = frame;
    m_records = 0;
    m_finished = false;
    m_handles.assign(1, Kind::None);
    m_fontHeights.assign(1, 0);
    m_handleHigh = 1;
    m_state = State{};
    m_saved.clear();
    m_position = {};
    m_bounds = {0, 0, -1, -1};
    m_hasBounds = false;
    // The header is written at the end, when its totals are known; keep its place.
    std::memset(m_bytes.data(), 0, kHeaderSize);
    m_size = kHeaderSize;
    m_records = 1;
}

const std::vector<uint8_t>& EmfRecorder::finish()
{
    complete();
    m_bytes.resize(m_size);
    return m_bytes;
}

std::span<const uint8_t> EmfRecorder::complete()
{
    if (m_finished)
        return std::span<const uint8_t>(m_bytes.data(), m_size);
    ByteWriter eof = beginRecord(kEofSize);
    writeEof(eof);

    Header h;
    h.bounds = m_bounds;
    h.frame = {0, 0, m_frame.cx, m_frame.cy};
    h.nBytes = uint32_t(m_size);
    h.nRecords = m_records;
    h.nHandles = uint16_t(std::min<size_t>(m_handleHigh, 0xFFFF));
    h.device = m_frame;
    h.millimeters = {m_frame.cx / 100, m_frame.cy / 100};
    h.micrometers = {m_frame.cx * 10, m_frame.cy * 10};
    ByteWriter w(m_bytes, 0);
    writeHeader(w, h);
    m_finished = true;
    return std::span<const uint8_t>(m_bytes.data(), m_size);
}

void EmfRecorder::growBuffer(size_t needed)
{
    m_bytes.resize(std::max(2 * m_bytes.size(), needed));
}

void EmfRecorder::pairRecord(uint32_t type, int32_t a, int32_t b)
{
    ByteWriter w = beginRecord(kPairRecordSize);
    writePairRecord(w, type, a, b);
}

uint32_t EmfRecorder::allocHandle(Kind kind)
{
    // The lowest free index, as GDI does, so a page that creates and deletes one font per text
    // run needs a handle table of two entries.
    for (size_t i = 1; i < m_handles.size(); ++i) {
        if (m_handles[i] == Kind::None) {
            m_handles[i] = kind;
            return uint32_t(i);
        }
    }
    m_handles.push_back(kind);
    m_fontHeights.push_back(0);
    m_handleHigh = std::max(m_handleHigh, m_handles.size());
    return uint32_t(m_handles.size() - 1);
}

EmfRecorder::Kind EmfRecorder::kindOf(GdiObject object) const
{
    if (isStockObject(object))
        return stockObjectKind(object);
    return object < m_handles.size() ? m_handles[object] : Kind::None;
}

GdiObject EmfRecorder::createFont(const LogFont& font)
{
    uint32_t ih = allocHandle(Kind::Font);
    m_fontHeights[ih] = clamp32(std::abs(int64_t(font.height)));
    ByteWriter w = beginRecord(kExtCreateFontSize);
    writeExtCreateFont(w, ih, font);
    return ih;
}

GdiObject EmfRecorder::createPen(const LogPen& pen)
{
    uint32_t ih = allocHandle(Kind::Pen);
    ByteWriter w = beginRecord(kCreatePenSize);
    writeCreatePen(w, ih, pen);
    return ih;
}

GdiObject EmfRecorder::createBrush(const LogBrush& brush)
{
    uint32_t ih = allocHandle(Kind::Brush);
    ByteWriter w = beginRecord(kCreateBrushSize);
    writeCreateBrush(w, ih, brush);
    return ih;
}

GdiObject EmfRecorder::selectObject(GdiObject object)
{
    GdiObject* slot = nullptr;
    switch (kindOf(object)) {
    case Kind::Font:
        slot = &m_state.font;
        break;
    case Kind::Pen:
        slot = &m_state.pen;
        break;
    case Kind::Brush:
        slot = &m_state.brush;
        break;
    default:
        return 0;
    }
    simpleRecord(EMR_SELECTOBJECT, object);
    GdiObject previous = *slot;
    *slot = object;
    if (slot == &m_state.font)
        m_state.fontHeight = isStockObject(object) ? 0 : m_fontHeights[object];
    return previous;
}

bool EmfRecorder::deleteObject(GdiObject object)
{
    if (isStockObject(object) || object == 0 || object >= m_handles.size()
        || m_handles[object] == Kind::None)
        return false;
    simpleRecord(EMR_DELETEOBJECT, object);
    m_handles[object] = Kind::None;
    return true;
}

uint32_t EmfRecorder::setTextAlign(uint32_t align)
{
    simpleRecord(EMR_SETTEXTALIGN, align);
    return std::exchange(m_state.textAlign, align);
}

ColorRef EmfRecorder::setTextColor(ColorRef color)
{
    simpleRecord(EMR_SETTEXTCOLOR, color);
    return std::exchange(m_state.textColor, color);
}

ColorRef EmfRecorder::setBkColor(ColorRef color)
{
    simpleRecord(EMR_SETBKCOLOR, color);
    return std::exchange(m_state.bkColor, color);
}

int EmfRecorder::setBkMode(int mode)
{
    simpleRecord(EMR_SETBKMODE, uint32_t(mode));
    return std::exchange(m_state.bkMode, mode);
}

int EmfRecorder::setMapMode(int mode)
{
    simpleRecord(EMR_SETMAPMODE, uint32_t(mode));
    return std::exchange(m_state.mapMode, mode);
}

void EmfRecorder::setWindowExt(Size ext)
{
    pairRecord(EMR_SETWINDOWEXTEX, ext.cx, ext.cy);
}

void EmfRecorder::setWindowOrg(Point org)
{
    pairRecord(EMR_SETWINDOWORGEX, org.x, org.y);
    m_state.windowOrg = org;
}

void EmfRecorder::setViewportExt(Size ext)
{
    pairRecord(EMR_SETVIEWPORTEXTEX, ext.cx, ext.cy);
}

void EmfRecorder::setViewportOrg(Point org)
{
    pairRecord(EMR_SETVIEWPORTORGEX, org.x, org.y);
}

int EmfRecorder::saveDC()
{
    ByteWriter w = beginRecord(kSaveDcSize);
    writeSaveDc(w);
    m_saved.push_back(m_state);
    return int(m_saved.size());
}

bool EmfRecorder::restoreDC(int saved)
{
    // Negative: relative to the current level; positive: an absolute level returned by saveDC.
    int level = saved < 0 ? int(m_saved.size()) + saved + 1 : saved;
    if (level < 1 || level > int(m_saved.size()))
        return false;
    simpleRecord(EMR_RESTOREDC, uint32_t(level - int(m_saved.size()) - 1));
    m_state = m_saved[size_t(level - 1)];
    m_saved.resize(size_t(level - 1));
    return true;
}

void EmfRecorder::addBounds(const Rect& r)
{
    if (!m_hasBounds) {
        m_bounds = r;
        m_hasBounds = true;
        return;
    }
    m_bounds.left = std::min(m_bounds.left, r.left);
    m_bounds.top = std::min(m_bounds.top, r.top);
    m_bounds.right = std::max(m_bounds.right, r.right);
    m_bounds.bottom = std::max(m_bounds.bottom, r.bottom);
}

bool EmfRecorder::textOut(uint32_t type, Point ref, uint32_t options, const Rect* clip,
                          const void* chars, size_t count, size_t charSize,
                          std::span<const int32_t> dx)
{
    if (count > 0x3FFFFFF)
        return false;
    bool withDx = !dx.empty();
    if (withDx && dx.size() < count)
        return false;
    size_t stringBytes = pad4(count * charSize);
    size_t size = kExtTextOutFixedSize + stringBytes + (withDx ? 4 * count : 0);

    int64_t advance = 0;
    for (size_t i = 0; withDx && i < count; ++i)
        advance += dx[i];
    // Bounds are worked out in 64 bits: a foreign picture played through here may hold any values.
    const int64_t h = m_state.fontHeight;
    const int64_t top = (m_state.textAlign & (kTaBaseline | kTaBottom)) ? int64_t(ref.y) - h : int64_t(ref.y);
    Rect bounds{ref.x, clamp32(top), clamp32(int64_t(ref.x) + std::max<int64_t>(advance, 1) - 1),
                clamp32(top + 2 * h)};
    if (count > 0)
        addBounds(bounds);

    TextRecord t;
    t.bounds = count > 0 ? bounds : Rect{0, 0, -1, -1};
    t.graphicsMode = kGmCompatible; // exScale, eyScale: unused in the compatible graphics mode
    t.reference = ref;
    t.nChars = uint32_t(count);
    t.offString = kExtTextOutFixedSize;
    t.options = options;
    t.rcl = clip ? *clip : Rect{};
    t.offDx = withDx ? uint32_t(kExtTextOutFixedSize + stringBytes) : 0;
    ByteWriter w = beginRecord(size);
    writeTextStart(w, type, uint32_t(size), t);
    if (charSize == 1) {
        w.bytes(chars, count);
    } else {
        auto text = static_cast<const char16_t*>(chars);
        for (size_t i = 0; i < count; ++i)
            w.u16(uint16_t(text[i]));
    }
    w.zeros(stringBytes - count * charSize);
    if (withDx)
        w.i32s(dx.first(count));
    return true;
}

bool EmfRecorder::extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                              std::span<const int32_t> dx)
{
    return textOut(EMR_EXTTEXTOUTA, ref, options, clip, bytes.data(), bytes.size(), 1, dx);
}

bool EmfRecorder::extTextOutW(Point ref, uint32_t options, const Rect* clip,
                              std::u16string_view text, std::span<const int32_t> dx)
{
    return textOut(EMR_EXTTEXTOUTW, ref, options, clip, text.data(), text.size(), 2, dx);
}

void EmfRecorder::moveTo(Point p)
{
    pairRecord(EMR_MOVETOEX, p.x, p.y);
    m_position = p;
}

void EmfRecorder::lineTo(Point p)
{
    pairRecord(EMR_LINETO, p.x, p.y);
    addBounds({std::min(m_position.x, p.x), std::min(m_position.y, p.y),
               std::max(m_position.x, p.x), std::max(m_position.y, p.y)});
    m_position = p;
}

void EmfRecorder::rectangle(const Rect& r)
{
    ByteWriter w = beginRecord(kRectangleSize);
    writeRectangle(w, r);
    addBounds(r);
}

void EmfRecorder::polyRecord(uint32_t type, std::span<const Point> points)
{
    if (points.empty() || points.size() > 0xFFFFFF)
        return;
    Rect b{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const Point& pt : points) {
        b.left = std::min(b.left, pt.x);
        b.top = std::min(b.top, pt.y);
        b.right = std::max(b.right, pt.x);
        b.bottom = std::max(b.bottom, pt.y);
    }
    ByteWriter w = beginRecord(kPolyFixedSize + 8 * points.size());
    writePolyStart(w, type, b, uint32_t(points.size()));
    for (const Point& pt : points) {
        w.i32(pt.x);
        w.i32(pt.y);
    }
    addBounds(b);
}

void EmfRecorder::polyline(std::span<const Point> points)
{
    polyRecord(EMR_POLYLINE, points);
}

void EmfRecorder::polygon(std::span<const Point> points)
{
    polyRecord(EMR_POLYGON, points);
}

void EmfRecorder::drawMonoBitmap(const Rect& dest, const MonoBitmap& bitmap)
{
    const int64_t cx = int64_t(dest.right) - dest.left;
    const int64_t cy = int64_t(dest.bottom) - dest.top;
    const uint64_t size = monoBitmapRecordSize(bitmap);
    if (cx <= 0 || cy <= 0 || cx > INT32_MAX || cy > INT32_MAX || size == 0)
        return;
    const Rect bounds{dest.left, dest.top, dest.right - 1, dest.bottom - 1};
    ByteWriter w = beginRecord(size_t(size));
    writeMonoBitmap(w, bounds, dest, bitmap);
    addBounds(bounds);
}

} // namespace quillon
