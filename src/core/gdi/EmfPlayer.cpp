#include "EmfPlayer.h"

#include "ByteIO.h"
#include "EmfFormat.h"
#include "Mapping.h"
#include "MonoDib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace quillon {

namespace {

using namespace emf;

// Records that other EMF writers emit and that the player honours beyond EmfFormat.h's set.
constexpr uint32_t EMR_EXTCREATEPEN = 95;
constexpr size_t kMaxSavedStates = 64;
// Coordinates handed to dc stay well inside int32 whatever the picture's mapping does.
constexpr double kCoordinateLimit = 1.0e9;

enum Kind : int { KindNone = -1, KindFont = 0, KindPen = 1, KindBrush = 2, KindCount = 3 };

Kind stockKind(GdiObject object)
{
    switch (stockObjectKind(object)) {
    case GdiObjectKind::Font:
        return KindFont;
    case GdiObjectKind::Pen:
        return KindPen;
    case GdiObjectKind::Brush:
        return KindBrush;
    default:
        return KindNone;
    }
}

int32_t toCoordinate(double v)
{
    if (!(v == v)) // NaN
        return 0;
    v = std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
    return int32_t(std::llround(v));
}

struct Mapping {
    int mode = kMmText;
    Point windowOrg;
    Point viewportOrg;
    Size windowExt{1, 1};
    Size viewportExt{1, 1};
};

// What SAVEDC keeps. An optional text value is unset while the picture has not changed it: dc
// still has its own value then. A selection of 0 means dc's own object of that kind.
struct PictureState {
    Mapping mapping;
    std::array<GdiObject, KindCount> selected{};
    std::array<uint32_t, KindCount> selectedIndex{}; // its place in the picture's table, 0 if none
    std::optional<uint32_t> textAlign;
    bool updateCp = false;
    std::optional<ColorRef> textColor;
    std::optional<ColorRef> bkColor;
    std::optional<int> bkMode;
    Point position;
};

class Player {
public:
    Player(DrawingContext& dc, Point origin, const Header& header)
        : m_dc(dc), m_origin(origin), m_handles(std::max<size_t>(header.nHandles, 1))
    {
        // One device unit of the picture in 0.01 mm; the micrometre size is the finer measure
        // when the header has it and it agrees with the millimetres.
        auto unitX = deviceUnit(header.millimeters.cx, header.micrometers.cx, header.device.cx);
        auto unitY = deviceUnit(header.millimeters.cy, header.micrometers.cy, header.device.cy);
        // A header that makes no sense on either axis is not trusted on the other: 1:1 then.
        if (unitX && unitY) {
            m_unitX = *unitX;
            m_unitY = *unitY;
        }
        updateTransform();
    }

    void play(uint32_t type, std::span<const uint8_t> record);
    void finish();

private:
    struct Slot {
        GdiObject object = 0;
        Kind kind = KindNone;
    };

    static std::optional<double> deviceUnit(int32_t mm, int32_t um, int32_t device)
    {
        if (device <= 0 || mm <= 0)
            return std::nullopt;
        double unit = double(mm) * 100.0 / double(device);
        if (um > 0 && std::abs(double(um) / 1000.0 - double(mm)) <= 1.0)
            unit = double(um) / 10.0 / double(device);
        if (!(unit >= 1.0e-3 && unit <= 1.0e4))
            return std::nullopt;
        return unit;
    }

    void updateTransform();
    Point map(Point p) const { return map(double(p.x), double(p.y)); }
    Point map(double x, double y) const
    {
        return {toCoordinate(m_scaleX * x + m_offsetX), toCoordinate(m_scaleY * y + m_offsetY)};
    }
    Rect mapRect(const Rect& r) const
    {
        Point a = map({r.left, r.top});
        Point b = map({r.right, r.bottom});
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    }
    // A length along x or y (font sizes, pen widths); a non-zero length stays non-zero.
    static int32_t mapLength(int32_t v, double scale)
    {
        if (v == 0)
            return 0;
        int32_t r = toCoordinate(double(v) * std::abs(scale));
        if (r == 0)
            r = v > 0 ? 1 : -1;
        return r;
    }

    void createObject(uint32_t index, Kind kind, GdiObject object);
    void releaseSlot(uint32_t index);
    void selectPictureObject(uint32_t index);
    void selectInDc(Kind kind, GdiObject object, uint32_t index);
    void dropIfOrphan(GdiObject object);
    bool alive(GdiObject object, uint32_t index) const;
    void restoreState(const PictureState& saved);

    void setTextAlign(uint32_t align);
    void setTextColor(ColorRef c);
    void setBkColor(ColorRef c);
    void setBkMode(int mode);

    void textOut(std::span<const uint8_t> record, bool wide);
    // The count advances in bytes (each followed by a dy when withDy) on dc, their sum in the
    // picture's units added to logicalAdvance.
    std::vector<int32_t> mapAdvances(std::span<const uint8_t> bytes, uint32_t count, bool withDy,
                                     int64_t& logicalAdvance) const;
    void poly(std::span<const uint8_t> record, bool closed, bool shortPoints);
    void stretchDiBits(std::span<const uint8_t> record);

    // One record as its handler gets it: its type, its bytes, and a reader past type and size.
    struct Record {
        uint32_t type;
        std::span<const uint8_t> bytes;
        ByteReader& in;
    };
    using Handler = void (Player::*)(Record);
    static constexpr uint32_t kHandledTypes = EMR_EXTCREATEPEN + 1; // the highest type handled, and one
    static const std::array<Handler, kHandledTypes>& handlers();
    bool validIndex(uint32_t index) const;

    void createFont(Record r);
    void createPen(Record r);
    void extCreatePen(Record r);
    void createBrush(Record r);
    void selectObject(Record r);
    void deleteObject(Record r);
    void textValue(Record r); // text alignment and colour, background colour and mode
    void setMapMode(Record r);
    void setExtent(Record r);
    void setOrigin(Record r);
    void saveDc(Record r);
    void restoreDc(Record r);
    void moveTo(Record r);
    void lineTo(Record r);
    void rectangle(Record r);
    void polyRecord(Record r);
    void textRecord(Record r);
    void bitmapRecord(Record r);

    DrawingContext& m_dc;
    Point m_origin;
    double m_unitX = 1.0;
    double m_unitY = 1.0;
    double m_scaleX = 1.0, m_offsetX = 0.0;
    double m_scaleY = 1.0, m_offsetY = 0.0;

    std::vector<Slot> m_handles; // the picture's object table; index 0 is the picture itself
    // Objects the picture deleted while they were selected: dc keeps them until they are
    // deselected (at most one per kind).
    std::vector<GdiObject> m_orphans;

    PictureState m_state;
    std::vector<PictureState> m_saved;
    bool m_dcPositionValid = false; // dc's current position is map(m_state.position)

    // dc's own objects and text values from before playback, learnt from the first change.
    std::array<std::optional<GdiObject>, KindCount> m_dcObject;
    std::optional<uint32_t> m_dcTextAlign;
    std::optional<ColorRef> m_dcTextColor;
    std::optional<ColorRef> m_dcBkColor;
    std::optional<int> m_dcBkMode;
};

void Player::updateTransform()
{
    const Mapping& m = m_state.mapping;
    // Picture device units per logical unit.
    const MappingScale scale = mappingScale(m.mode, m.windowExt, m.viewportExt, m_unitX, m_unitY);
    const double kx = scale.x, ky = scale.y;
    // out = origin + unit * ((logical - windowOrg) * k + viewportOrg)
    m_scaleX = m_unitX * kx;
    m_scaleY = m_unitY * ky;
    m_offsetX = double(m_origin.x) + m_unitX * (double(m.viewportOrg.x) - double(m.windowOrg.x) * kx);
    m_offsetY = double(m_origin.y) + m_unitY * (double(m.viewportOrg.y) - double(m.windowOrg.y) * ky);
    m_dcPositionValid = false;
}

// Whether an object selected earlier (at index of the picture's table) still exists in dc.
bool Player::alive(GdiObject object, uint32_t index) const
{
    if (isStockObject(object))
        return true;
    if (object == 0)
        return false;
    if (std::find(m_orphans.begin(), m_orphans.end(), object) != m_orphans.end())
        return true;
    return index < m_handles.size() && m_handles[index].object == object;
}

void Player::selectInDc(Kind kind, GdiObject object, uint32_t index)
{
    GdiObject previous = m_dc.selectObject(object);
    if (previous == 0)
        return; // dc refused: its selection is unchanged
    if (!m_dcObject[kind])
        m_dcObject[kind] = previous;
    GdiObject old = m_state.selected[kind];
    m_state.selected[kind] = object;
    m_state.selectedIndex[kind] = index;
    if (old != object)
        dropIfOrphan(old);
}

void Player::dropIfOrphan(GdiObject object)
{
    auto it = std::find(m_orphans.begin(), m_orphans.end(), object);
    if (it == m_orphans.end())
        return;
    m_orphans.erase(it);
    m_dc.deleteObject(object);
}

void Player::releaseSlot(uint32_t index)
{
    Slot& slot = m_handles[index];
    if (slot.object == 0)
        return;
    GdiObject object = slot.object;
    Kind kind = slot.kind;
    slot = {};
    if (kind != KindNone && m_state.selected[kind] == object)
        m_orphans.push_back(object);
    else
        m_dc.deleteObject(object);
}

void Player::createObject(uint32_t index, Kind kind, GdiObject object)
{
    if (object == 0)
        return;
    releaseSlot(index);
    m_handles[index] = {object, kind};
}

void Player::selectPictureObject(uint32_t index)
{
    if (isStockObject(index)) {
        Kind kind = stockKind(index);
        if (kind != KindNone)
            selectInDc(kind, index, 0);
        return;
    }
    if (index == 0 || index >= m_handles.size())
        return;
    const Slot& slot = m_handles[index];
    if (slot.object != 0 && slot.kind != KindNone)
        selectInDc(slot.kind, slot.object, index);
}

void Player::setTextAlign(uint32_t align)
{
    // The current position is kept here, so dc never sees TA_UPDATECP.
    m_state.updateCp = (align & kTaUpdateCp) != 0;
    align &= ~kTaUpdateCp;
    uint32_t previous = m_dc.setTextAlign(align);
    if (!m_dcTextAlign)
        m_dcTextAlign = previous;
    m_state.textAlign = align;
}

void Player::setTextColor(ColorRef c)
{
    ColorRef previous = m_dc.setTextColor(c);
    if (!m_dcTextColor)
        m_dcTextColor = previous;
    m_state.textColor = c;
}

void Player::setBkColor(ColorRef c)
{
    ColorRef previous = m_dc.setBkColor(c);
    if (!m_dcBkColor)
        m_dcBkColor = previous;
    m_state.bkColor = c;
}

void Player::setBkMode(int mode)
{
    int previous = m_dc.setBkMode(mode);
    if (!m_dcBkMode)
        m_dcBkMode = previous;
    m_state.bkMode = mode;
}

void Player::restoreState(const PictureState& saved)
{
    for (int k = 0; k < KindCount; ++k) {
        const bool savedAlive = alive(saved.selected[k], saved.selectedIndex[k]);
        GdiObject target = savedAlive ? saved.selected[k] : m_dcObject[k].value_or(0);
        if (target != 0 && target != m_state.selected[k])
            selectInDc(Kind(k), target, savedAlive ? saved.selectedIndex[k] : 0);
    }
    if (saved.textAlign != m_state.textAlign) {
        if (saved.textAlign)
            setTextAlign(*saved.textAlign);
        else if (m_dcTextAlign)
            m_dc.setTextAlign(*m_dcTextAlign);
        m_state.textAlign = saved.textAlign;
    }
    m_state.updateCp = saved.updateCp;
    if (saved.textColor != m_state.textColor) {
        if (saved.textColor)
            setTextColor(*saved.textColor);
        else if (m_dcTextColor)
            m_dc.setTextColor(*m_dcTextColor);
        m_state.textColor = saved.textColor;
    }
    if (saved.bkColor != m_state.bkColor) {
        if (saved.bkColor)
            setBkColor(*saved.bkColor);
        else if (m_dcBkColor)
            m_dc.setBkColor(*m_dcBkColor);
        m_state.bkColor = saved.bkColor;
    }
    if (saved.bkMode != m_state.bkMode) {
        if (saved.bkMode)
            setBkMode(*saved.bkMode);
        else if (m_dcBkMode)
            m_dc.setBkMode(*m_dcBkMode);
        m_state.bkMode = saved.bkMode;
    }
    m_state.mapping = saved.mapping;
    m_state.position = saved.position;
    updateTransform();
}

std::vector<int32_t> Player::mapAdvances(std::span<const uint8_t> bytes, uint32_t count, bool withDy,
                                         int64_t& logicalAdvance) const
{
    // Advances are mapped through their running sum so that rounding never accumulates.
    ByteReader dxIn(bytes);
    std::vector<int32_t> dx(count);
    double total = 0.0;
    int32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t d = dxIn.i32();
        if (withDy)
            dxIn.i32();
        logicalAdvance += d;
        total += double(d) * std::abs(m_scaleX);
        int32_t position = toCoordinate(total);
        dx[i] = position - previous;
        previous = position;
    }
    return dx;
}

void Player::textOut(std::span<const uint8_t> record, bool wide)
{
    ByteReader in(record);
    const TextRecord t = readTextStart(in);
    if (!in.ok())
        return;
    Point ref = t.reference;
    const uint32_t count = t.nChars;
    const uint32_t offString = t.offString;
    const uint32_t options = t.options;
    const Rect& rcl = t.rcl;
    const uint32_t offDx = t.offDx;

    const uint64_t charSize = wide ? 2 : 1;
    if (count > 0 && !fitsInRecord(offString, uint64_t(count) * charSize, record.size()))
        return;
    const uint64_t dxStride = (options & kEtoPdy) ? 8 : 4;
    if (offDx != 0 && count > 0 && !fitsInRecord(offDx, uint64_t(count) * dxStride, record.size()))
        return;

    if (m_state.updateCp)
        ref = m_state.position;

    int64_t logicalAdvance = 0;
    const std::vector<int32_t> dx =
        offDx != 0 && count > 0 ? mapAdvances(record.subspan(offDx, size_t(count * dxStride)), count, dxStride == 8,
                                              logicalAdvance)
                                : std::vector<int32_t>();

    Rect clip;
    const Rect* clipPtr = nullptr;
    if (!(options & kEtoNoRect) && (options & (kEtoOpaque | kEtoClipped))) {
        clip = mapRect(rcl);
        clipPtr = &clip;
    }
    uint32_t dcOptions = options & ~(kEtoPdy | kEtoNoRect);
    Point at = map(ref);
    if (wide) {
        std::u16string text(count, u'\0');
        ByteReader s(record.subspan(offString, size_t(count) * 2));
        for (uint32_t i = 0; i < count; ++i)
            text[i] = char16_t(s.u16());
        m_dc.extTextOutW(at, dcOptions, clipPtr, text, dx);
    } else {
        std::string_view bytes;
        if (count > 0)
            bytes = {reinterpret_cast<const char*>(record.data() + offString), count};
        m_dc.extTextOutA(at, dcOptions, clipPtr, bytes, dx);
    }

    if (m_state.updateCp) {
        int64_t x = std::clamp<int64_t>(int64_t(m_state.position.x) + logicalAdvance, INT32_MIN, INT32_MAX);
        m_state.position.x = int32_t(x);
        m_dcPositionValid = false;
    }
}

void Player::poly(std::span<const uint8_t> record, bool closed, bool shortPoints)
{
    ByteReader in(record);
    in.skip(kRecordStartSize);
    readRect(in); // the bounds are worked out again by dc
    uint32_t count = in.u32();
    if (!in.ok())
        return;
    const uint64_t pointSize = shortPoints ? 4 : 8;
    if (!fitsInRecord(kPolyFixedSize, uint64_t(count) * pointSize, record.size()))
        return;
    std::vector<Point> points(count);
    for (auto& p : points) {
        Point q;
        if (shortPoints) {
            q.x = in.i16();
            q.y = in.i16();
        } else {
            q = readPoint(in);
        }
        p = map(q);
    }
    if (closed)
        m_dc.polygon(points);
    else
        m_dc.polyline(points);
}

void Player::stretchDiBits(std::span<const uint8_t> record)
{
    ByteReader in(record);
    const StretchDiBits r = readStretchDiBitsStart(in);
    if (!in.ok())
        return;
    // The destination's corners on dc: the mapping may turn the picture over on either axis.
    const Point a = map(double(r.xDest), double(r.yDest));
    const Point b = map(double(r.xDest) + double(r.cxDest), double(r.yDest) + double(r.cyDest));
    if (a.x == b.x || a.y == b.y)
        return;
    const std::optional<MonoDots> dots = readMonoDots(record, r, b.x < a.x, b.y < a.y);
    if (!dots)
        return;
    m_dc.drawMonoBitmap({std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
                        dots->bitmap());
}

// Every record handler relies on the same rules, checked once before it is called: the record
// lies whole inside the picture, is at least its type and size long (8 bytes) and a multiple of
// four; in is positioned after those two fields and ends with the record. A handler reads what
// it needs and acts only when in.ok(): a record too short for its fields is passed over, never
// read beyond. An object index names a slot of the picture's own table (1 to nHandles - 1).
bool Player::validIndex(uint32_t index) const
{
    return index != 0 && index < m_handles.size();
}

void Player::createFont(Record r)
{
    uint32_t index = r.in.u32();
    // A plain LOGFONTW or one of the larger forms that start with it.
    LogFont font = readLogFont(r.in);
    if (!r.in.ok() || !validIndex(index))
        return;
    font.height = mapLength(font.height, m_scaleY);
    font.width = mapLength(font.width, m_scaleX);
    createObject(index, KindFont, m_dc.createFont(font));
}

void Player::createPen(Record r)
{
    uint32_t index = r.in.u32();
    LogPen pen = readLogPen(r.in);
    if (!r.in.ok() || !validIndex(index))
        return;
    pen.width = mapLength(pen.width, m_scaleX);
    createObject(index, KindPen, m_dc.createPen(pen));
}

void Player::extCreatePen(Record r)
{
    // 8 ihPen, 12 offBmi, 16 cbBmi, 20 offBits, 24 cbBits, 28 LOGPEN_EX: style, width,
    // brush style, colour, hatch, ...
    uint32_t index = r.in.u32();
    r.in.skip(16);
    LogPen pen;
    uint32_t style = r.in.u32();
    pen.width = r.in.i32();
    uint32_t brushStyle = r.in.u32();
    pen.color = r.in.u32();
    if (!r.in.ok() || !validIndex(index))
        return;
    pen.style = brushStyle == kBsNull ? kPsNull : (style & 0x0F);
    pen.width = mapLength(pen.width, m_scaleX);
    createObject(index, KindPen, m_dc.createPen(pen));
}

void Player::createBrush(Record r)
{
    uint32_t index = r.in.u32();
    LogBrush brush = readLogBrush(r.in);
    if (!r.in.ok() || !validIndex(index))
        return;
    createObject(index, KindBrush, m_dc.createBrush(brush));
}

void Player::selectObject(Record r)
{
    uint32_t index = r.in.u32();
    if (r.in.ok())
        selectPictureObject(index);
}

void Player::deleteObject(Record r)
{
    uint32_t index = r.in.u32();
    if (r.in.ok() && validIndex(index))
        releaseSlot(index);
}

void Player::textValue(Record r)
{
    uint32_t v = r.in.u32();
    if (!r.in.ok())
        return;
    if (r.type == EMR_SETTEXTALIGN)
        setTextAlign(v);
    else if (r.type == EMR_SETTEXTCOLOR)
        setTextColor(v & 0x00FFFFFF);
    else if (r.type == EMR_SETBKCOLOR)
        setBkColor(v & 0x00FFFFFF);
    else if (v == uint32_t(kTransparent) || v == uint32_t(kOpaque)) // EMR_SETBKMODE
        setBkMode(int(v));
}

void Player::setMapMode(Record r)
{
    uint32_t v = r.in.u32();
    if (r.in.ok() && v >= uint32_t(kMmText) && v <= uint32_t(kMmAnisotropic)) {
        m_state.mapping.mode = int(v);
        updateTransform();
    }
}

void Player::setExtent(Record r)
{
    Size s;
    s.cx = r.in.i32();
    s.cy = r.in.i32();
    // Extents count only in the scalable modes, and never with a zero.
    int mode = m_state.mapping.mode;
    if (!r.in.ok() || s.cx == 0 || s.cy == 0 || (mode != kMmIsotropic && mode != kMmAnisotropic))
        return;
    (r.type == EMR_SETWINDOWEXTEX ? m_state.mapping.windowExt : m_state.mapping.viewportExt) = s;
    updateTransform();
}

void Player::setOrigin(Record r)
{
    Point p = readPoint(r.in);
    if (!r.in.ok())
        return;
    (r.type == EMR_SETWINDOWORGEX ? m_state.mapping.windowOrg : m_state.mapping.viewportOrg) = p;
    updateTransform();
}

void Player::saveDc(Record)
{
    if (m_saved.size() < kMaxSavedStates)
        m_saved.push_back(m_state);
}

void Player::restoreDc(Record r)
{
    int32_t which = r.in.i32();
    if (!r.in.ok())
        return;
    size_t depth = m_saved.size();
    size_t keep;
    if (which < 0 && uint64_t(-int64_t(which)) <= depth)
        keep = depth - size_t(-int64_t(which));
    else if (which > 0 && uint64_t(which) <= depth)
        keep = size_t(which) - 1;
    else
        return;
    PictureState saved = m_saved[keep];
    m_saved.resize(keep);
    restoreState(saved);
}

void Player::moveTo(Record r)
{
    Point p = readPoint(r.in);
    if (!r.in.ok())
        return;
    m_state.position = p;
    m_dc.moveTo(map(p));
    m_dcPositionValid = true;
}

void Player::lineTo(Record r)
{
    Point p = readPoint(r.in);
    if (!r.in.ok())
        return;
    if (!m_dcPositionValid)
        m_dc.moveTo(map(m_state.position));
    m_dc.lineTo(map(p));
    m_state.position = p;
    m_dcPositionValid = true;
}

void Player::rectangle(Record r)
{
    Rect rect = readRect(r.in);
    if (r.in.ok())
        m_dc.rectangle(mapRect(rect));
}

void Player::polyRecord(Record r)
{
    poly(r.bytes, r.type == EMR_POLYGON || r.type == EMR_POLYGON16,
         r.type == EMR_POLYLINE16 || r.type == EMR_POLYGON16);
}

void Player::textRecord(Record r)
{
    textOut(r.bytes, r.type == EMR_EXTTEXTOUTW);
}

void Player::bitmapRecord(Record r)
{
    stretchDiBits(r.bytes);
}

// The records the player honours, by type; any other record (or a stray header) is passed over.
const std::array<Player::Handler, Player::kHandledTypes>& Player::handlers()
{
    static const std::array<Handler, kHandledTypes> table = [] {
        std::array<Handler, kHandledTypes> t{};
        t[EMR_EXTCREATEFONTINDIRECTW] = &Player::createFont;
        t[EMR_CREATEPEN] = &Player::createPen;
        t[EMR_EXTCREATEPEN] = &Player::extCreatePen;
        t[EMR_CREATEBRUSHINDIRECT] = &Player::createBrush;
        t[EMR_SELECTOBJECT] = &Player::selectObject;
        t[EMR_DELETEOBJECT] = &Player::deleteObject;
        for (uint32_t type : {EMR_SETTEXTALIGN, EMR_SETTEXTCOLOR, EMR_SETBKCOLOR, EMR_SETBKMODE})
            t[type] = &Player::textValue;
        t[EMR_SETMAPMODE] = &Player::setMapMode;
        t[EMR_SETWINDOWEXTEX] = t[EMR_SETVIEWPORTEXTEX] = &Player::setExtent;
        t[EMR_SETWINDOWORGEX] = t[EMR_SETVIEWPORTORGEX] = &Player::setOrigin;
        t[EMR_SAVEDC] = &Player::saveDc;
        t[EMR_RESTOREDC] = &Player::restoreDc;
        t[EMR_MOVETOEX] = &Player::moveTo;
        t[EMR_LINETO] = &Player::lineTo;
        t[EMR_RECTANGLE] = &Player::rectangle;
        for (uint32_t type : {EMR_POLYLINE, EMR_POLYGON, EMR_POLYLINE16, EMR_POLYGON16})
            t[type] = &Player::polyRecord;
        t[EMR_EXTTEXTOUTA] = t[EMR_EXTTEXTOUTW] = &Player::textRecord;
        t[EMR_STRETCHDIBITS] = &Player::bitmapRecord;
        return t;
    }();
    return table;
}

void Player::play(uint32_t type, std::span<const uint8_t> record)
{
    if (type >= kHandledTypes || !handlers()[type])
        return;
    ByteReader in(record);
    in.skip(kRecordStartSize);
    (this->*handlers()[type])(Record{type, record, in});
}

void Player::finish()
{
    // Put dc's own objects back, then delete everything the picture made.
    for (int k = 0; k < KindCount; ++k) {
        if (m_dcObject[k] && m_state.selected[k] != 0 && m_state.selected[k] != *m_dcObject[k]) {
            if (m_dc.selectObject(*m_dcObject[k]) != 0)
                m_state.selected[k] = 0;
        }
    }
    for (GdiObject o : m_orphans)
        m_dc.deleteObject(o);
    m_orphans.clear();
    for (Slot& slot : m_handles) {
        if (slot.object != 0)
            m_dc.deleteObject(slot.object);
        slot = {};
    }
    if (m_dcTextAlign)
        m_dc.setTextAlign(*m_dcTextAlign);
    if (m_dcTextColor)
        m_dc.setTextColor(*m_dcTextColor);
    if (m_dcBkColor)
        m_dc.setBkColor(*m_dcBkColor);
    if (m_dcBkMode)
        m_dc.setBkMode(*m_dcBkMode);
}

} // namespace

PlayResult playEmf(std::span<const uint8_t> picture, DrawingContext& dc, Point origin)
{
    PlayResult result;
    std::string why;
    std::optional<Header> header = parseHeader(picture, &why);
    if (!header) {
        result.ok = false;
        result.error = why;
        return result;
    }
    result.recordsPlayed = 1;

    const bool cut = header->nBytes > picture.size();
    const size_t end = cut ? picture.size() : header->nBytes;
    Player player(dc, origin, *header);

    size_t pos = header->headerSize;
    bool sawEof = false;
    while (pos < end) {
        const uint32_t number = result.recordsPlayed + 1;
        if (end - pos < 8) {
            why = "record " + std::to_string(number) + " is cut short";
            break;
        }
        ByteReader in(picture.subspan(pos, 8));
        uint32_t type = in.u32();
        uint32_t size = in.u32();
        if (size < 8 || size % 4 != 0) {
            why = "record " + std::to_string(number) + " has an impossible size (" + std::to_string(size) + ")";
            break;
        }
        if (size > end - pos) {
            why = "record " + std::to_string(number) + " runs past the end of the picture";
            break;
        }
        ++result.recordsPlayed;
        if (type == EMR_EOF) {
            sawEof = true;
            break;
        }
        player.play(type, picture.subspan(pos, size));
        pos += size;
    }
    player.finish();

    if (cut) {
        result.ok = false;
        result.error = "the picture is cut: " + std::to_string(picture.size()) + " of "
                     + std::to_string(header->nBytes) + " bytes";
    } else if (!why.empty()) {
        result.ok = false;
        result.error = why;
    } else if (!sawEof) {
        result.ok = false;
        result.error = "the picture ends without an EOF record";
    }
    return result;
}

} // namespace quillon
