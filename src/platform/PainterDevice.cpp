#include "PainterDevice.h"
#include "Units.h"

#include "DotRaster.h"

#include "gdi/Mapping.h"

#include <QBrush>
#include <QFont>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstring>
#include <utility>

namespace quillon {

namespace {

constexpr uint32_t kEtoOpaque = 0x0002;
constexpr uint32_t kEtoClipped = 0x0004;

// Faces are measured at this pixel size, where rounding of the metrics does not matter.
constexpr qreal kReferencePixelSize = 2048.0;
// Sizes beyond these come only from damaged or absurd pictures.
constexpr qreal kMinPixelSize = 0.25;
constexpr qreal kMaxPixelSize = 8192.0;
// Resolved text fonts kept at once; a page uses a handful, only damaged pictures make more.
constexpr size_t kMaxTextFonts = 64;

const QString kDefaultFixedFace = QStringLiteral("Courier New");
const QString kDefaultVariableFace = QStringLiteral("Arial");

// Windows-1252 in 0x80-0x9F; the rest of the ANSI set is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ansiToUnicode(uint8_t b)
{
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b);
}

// Characters that take their cell but show nothing.
bool isInvisible(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

QColor toQColor(ColorRef c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QRectF deviceRect(const QTransform& t, const Rect& r)
{
    return t.mapRect(QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom)).normalized());
}

} // namespace

PainterDevice::PainterDevice(QPainter& painter, DosCodePage codePage)
    : m_painter(painter), m_codePage(codePage), m_base(painter.transform())
{
    updateTransform();
}

PainterDevice::~PainterDevice() = default;

// ---------------------------------------------------------------------------------------------
// Objects

GdiObject PainterDevice::createFont(const LogFont& font)
{
    GdiObject h = m_nextHandle++;
    m_objects.emplace(h, font);
    return h;
}

GdiObject PainterDevice::createPen(const LogPen& pen)
{
    GdiObject h = m_nextHandle++;
    m_objects.emplace(h, pen);
    return h;
}

GdiObject PainterDevice::createBrush(const LogBrush& brush)
{
    GdiObject h = m_nextHandle++;
    m_objects.emplace(h, brush);
    return h;
}

GdiObject PainterDevice::selectObject(GdiObject object)
{
    GdiObjectKind kind = GdiObjectKind::None;
    if (isStockObject(object)) {
        kind = stockObjectKind(object);
    } else if (auto it = m_objects.find(object); it != m_objects.end()) {
        kind = it->second.index() == 0 ? GdiObjectKind::Font
             : it->second.index() == 1 ? GdiObjectKind::Pen : GdiObjectKind::Brush;
    }
    switch (kind) {
    case GdiObjectKind::Font:
        return std::exchange(m_state.font, object);
    case GdiObjectKind::Pen:
        return std::exchange(m_state.pen, object);
    case GdiObjectKind::Brush:
        return std::exchange(m_state.brush, object);
    default:
        break;
    }
    return 0;
}

bool PainterDevice::deleteObject(GdiObject object)
{
    if (isStockObject(object))
        return false;
    if (object == m_state.font || object == m_state.pen || object == m_state.brush)
        return false;
    return m_objects.erase(object) > 0;
}

// ---------------------------------------------------------------------------------------------
// Text state and mapping

uint32_t PainterDevice::setTextAlign(uint32_t align) { return std::exchange(m_state.textAlign, align); }
ColorRef PainterDevice::setTextColor(ColorRef color) { return std::exchange(m_state.textColor, color); }
ColorRef PainterDevice::setBkColor(ColorRef color) { return std::exchange(m_state.bkColor, color); }
int PainterDevice::setBkMode(int mode) { return std::exchange(m_state.bkMode, mode); }

int PainterDevice::setMapMode(int mode)
{
    if (mode < kMmText || mode > kMmAnisotropic)
        return 0;
    int previous = std::exchange(m_state.mapMode, mode);
    updateTransform();
    return previous;
}

void PainterDevice::setWindowExt(Size ext)
{
    if (ext.cx == 0 || ext.cy == 0 || (m_state.mapMode != kMmIsotropic && m_state.mapMode != kMmAnisotropic))
        return;
    m_state.windowExt = ext;
    updateTransform();
}

void PainterDevice::setWindowOrg(Point org)
{
    m_state.windowOrg = org;
    updateTransform();
}

void PainterDevice::setViewportExt(Size ext)
{
    if (ext.cx == 0 || ext.cy == 0 || (m_state.mapMode != kMmIsotropic && m_state.mapMode != kMmAnisotropic))
        return;
    m_state.viewportExt = ext;
    updateTransform();
}

void PainterDevice::setViewportOrg(Point org)
{
    m_state.viewportOrg = org;
    updateTransform();
}

void PainterDevice::updateTransform()
{
    const State& s = m_state;
    // The fixed metric modes need the device's resolution.
    const QPaintDevice* device = m_painter.device();
    const qreal dpiX = device ? device->logicalDpiX() : 96.0;
    const qreal dpiY = device ? device->logicalDpiY() : 96.0;
    const MappingScale scale = mappingScale(s.mapMode, s.windowExt, s.viewportExt, double(kUnitsPerInch) / dpiX, double(kUnitsPerInch) / dpiY);
    const qreal kx = scale.x, ky = scale.y;
    m_toDevice = QTransform(kx, 0, 0, ky, s.viewportOrg.x - s.windowOrg.x * kx,
                            s.viewportOrg.y - s.windowOrg.y * ky);
}

int PainterDevice::saveDC()
{
    m_saved.push_back(m_state);
    return int(m_saved.size());
}

bool PainterDevice::restoreDC(int saved)
{
    // Negative: relative to the current level; positive: a level that saveDC returned.
    int64_t level = saved < 0 ? int64_t(m_saved.size()) + saved + 1 : saved;
    if (level < 1 || level > int64_t(m_saved.size()))
        return false;
    State restored = m_saved[size_t(level - 1)];
    m_saved.resize(size_t(level - 1));
    // Objects deleted since the save cannot come back; the current ones stay then.
    auto keep = [this](GdiObject o) { return isStockObject(o) || m_objects.count(o) > 0; };
    if (!keep(restored.font))
        restored.font = m_state.font;
    if (!keep(restored.pen))
        restored.pen = m_state.pen;
    if (!keep(restored.brush))
        restored.brush = m_state.brush;
    m_state = restored;
    updateTransform();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Fonts

const LogFont& PainterDevice::selectedFont() const
{
    if (!isStockObject(m_state.font)) {
        auto it = m_objects.find(m_state.font);
        if (it != m_objects.end())
            return std::get<LogFont>(it->second);
    }
    // Stock fonts: the fixed ones as Courier New, the others as Arial; the default cell size.
    auto stockFont = [](uint8_t charSet, const QString& face) {
        LogFont f;
        f.height = 0;
        f.charSet = charSet;
        f.faceName = face.toStdU16String();
        return f;
    };
    static const LogFont oemFixed = stockFont(kOemCharset, kDefaultFixedFace);
    static const LogFont ansiFixed = stockFont(kAnsiCharset, kDefaultFixedFace);
    static const LogFont ansiVariable = stockFont(kAnsiCharset, kDefaultVariableFace);
    switch (StockObject(stockIndex(m_state.font))) {
    case StockObject::OemFixedFont:
        return oemFixed;
    case StockObject::AnsiFixedFont:
    case StockObject::SystemFixedFont:
    case StockObject::DeviceDefaultFont:
        return ansiFixed;
    default:
        return ansiVariable;
    }
}

const PainterDevice::FaceMetrics& PainterDevice::faceMetrics(const QString& face, int weight, bool italic)
{
    const QString key = face + QLatin1Char('|') + QString::number(weight) + QLatin1String(italic ? "|i" : "|r");
    auto it = m_faces.find(key);
    if (it != m_faces.end())
        return *it;
    QFont font(face);
    font.setPixelSize(int(kReferencePixelSize));
    font.setWeight(QFont::Weight(weight));
    font.setItalic(italic);
    font.setStyleHint(QFont::TypeWriter);
    FaceMetrics m;
    m.raw = QRawFont::fromFont(font);
    const qreal px = m.raw.isValid() ? m.raw.pixelSize() : 0.0;
    const qreal cell = m.raw.isValid() ? m.raw.ascent() + m.raw.descent() : 0.0;
    const qreal width = m.raw.isValid() ? m.raw.averageCharWidth() : 0.0;
    m.cellPerPixel = px > 0 && cell > 0 ? cell / px : 1.0;
    m.widthPerPixel = px > 0 && width > 0 ? width / px : 0.6;
    return *m_faces.insert(key, m);
}

PainterDevice::SizedFont PainterDevice::sizedFont(const QString& face, const LogFont& font)
{
    const int weight = font.weight >= 600 ? QFont::Bold : QFont::Normal;
    const bool italic = font.italic != 0;
    const FaceMetrics& m = faceMetrics(face, weight, italic);

    const qreal sx = std::abs(m_toDevice.m11());
    const qreal sy = std::abs(m_toDevice.m22());
    // Positive height: the cell (ascent + descent); negative: the character height (em size);
    // zero: the default cell of six lines per inch.
    qreal pixel;
    if (font.height > 0) {
        pixel = qreal(font.height) * sy / m.cellPerPixel;
    } else if (font.height < 0) {
        pixel = -qreal(font.height) * sy;
    } else {
        const QPaintDevice* device = m_painter.device();
        pixel = (device ? device->logicalDpiY() : 96) / 6.0 / m.cellPerPixel;
    }
    if (!(pixel >= kMinPixelSize))
        pixel = kMinPixelSize;
    pixel = std::min(pixel, kMaxPixelSize);

    SizedFont result;
    const QString key = face + QLatin1Char('|') + QString::number(weight) + QLatin1String(italic ? "|i|" : "|r|")
                      + QString::number(qRound64(pixel * 64));
    auto it = m_sizedFonts.find(key);
    if (it != m_sizedFonts.end()) {
        result.raw = *it;
    } else {
        result.raw = m.raw;
        result.raw.setPixelSize(pixel);
        m_sizedFonts.insert(key, result.raw);
    }
    if (font.width != 0) {
        const qreal wanted = std::abs(qreal(font.width)) * sx;
        result.scaleX = std::clamp(wanted / (m.widthPerPixel * pixel), 0.01, 100.0);
    }
    return result;
}

size_t PainterDevice::TextFontHash::hash(const LogFont& f, qreal sx, qreal sy, qreal dpiY)
{
    size_t h = std::hash<std::u16string_view>()(f.faceName);
    auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::hash<int64_t>()((int64_t(f.height) << 32) ^ uint32_t(f.width)));
    mix(std::hash<int64_t>()((int64_t(f.escapement) << 32) ^ uint32_t(f.orientation)));
    mix(std::hash<int64_t>()((int64_t(f.weight) << 32) ^ (uint32_t(f.italic) << 24) ^ (uint32_t(f.underline) << 16)
                             ^ (uint32_t(f.strikeOut) << 8) ^ f.charSet));
    mix(std::hash<int64_t>()((int64_t(f.outPrecision) << 24) ^ (int64_t(f.clipPrecision) << 16)
                             ^ (int64_t(f.quality) << 8) ^ f.pitchAndFamily));
    mix(std::hash<qreal>()(sx));
    mix(std::hash<qreal>()(sy));
    mix(std::hash<qreal>()(dpiY));
    return h;
}

PainterDevice::TextFont& PainterDevice::textFont(const LogFont& font)
{
    // What sizedFont() reads besides the font: the mapping's scale and the device's resolution.
    const qreal sx = std::abs(m_toDevice.m11());
    const qreal sy = std::abs(m_toDevice.m22());
    const QPaintDevice* device = m_painter.device();
    const qreal dpiY = device ? device->logicalDpiY() : 96;
    auto it = m_textFonts.find(TextFontKeyView{font, sx, sy, dpiY});
    if (it != m_textFonts.end())
        return it->second;
    if (m_textFonts.size() >= kMaxTextFonts)
        m_textFonts.clear();
    TextFont t;
    t.face = font.faceName.empty() ? kDefaultFixedFace : QString::fromStdU16String(font.faceName);
    t.primary = sizedFont(t.face, font);
    return m_textFonts.emplace(TextFontKey{font, sx, sy, dpiY}, std::move(t)).first->second;
}

// The cell of one character (units: 1, or 2 for a surrogate pair) in the primary face, or else in
// the fallback face, or an invisible one.
PainterDevice::Cell PainterDevice::lookUpGlyph(TextFont& font, const LogFont& lf, const QChar* chars, int units)
{
    quint32 glyph = 0;
    int count = 1;
    if (font.primary.raw.glyphIndexesForChars(chars, units, &glyph, &count) && count == 1 && glyph != 0)
        return {glyph, false, true};
    if (!font.fallbackResolved) {
        font.fallback = sizedFont(QString::fromLatin1(kFallbackFace), lf);
        font.fallbackResolved = true;
    }
    glyph = 0;
    count = 1;
    if (font.fallback.raw.isValid() && font.fallback.raw.glyphIndexesForChars(chars, units, &glyph, &count)
        && count == 1 && glyph != 0)
        return {glyph, true, true};
    return {};
}

// ---------------------------------------------------------------------------------------------
// Text

bool PainterDevice::extTextOutA(Point ref, uint32_t options, const Rect* clip, std::string_view bytes,
                                std::span<const int32_t> dx)
{
    const uint8_t charSet = selectedFont().charSet;
    m_chars.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        m_chars[i] = charSet == kOemCharset ? dosToUnicode(m_codePage, b) : ansiToUnicode(b);
    }
    return drawText(ref, options, clip, m_chars, dx, !dx.empty());
}

bool PainterDevice::extTextOutW(Point ref, uint32_t options, const Rect* clip, std::u16string_view text,
                                std::span<const int32_t> dx)
{
    return drawText(ref, options, clip, std::u16string(text), dx, !dx.empty());
}

// One cell per UTF-16 unit, with the glyph it draws; a surrogate pair draws in the first of its
// two cells.
std::vector<PainterDevice::Cell> PainterDevice::textCells(TextFont& resolved, const LogFont& lf,
                                                          const std::u16string& chars)
{
    const size_t n = chars.size();
    std::vector<Cell> cells(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = chars[i];
        int units = 1;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
            units = 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            continue; // a lone surrogate shows nothing
        }
        if (isInvisible(c) || c == u' ')
            continue;
        const QChar* qc = reinterpret_cast<const QChar*>(chars.data() + i);
        if (c < kCachedChars) {
            std::unique_ptr<CellBlock>& block = resolved.cells[c / 256];
            if (!block)
                block = std::make_unique<CellBlock>();
            Cell& cached = (*block)[c % 256];
            if (!cached.known) {
                cached = lookUpGlyph(resolved, lf, qc, units);
                cached.known = true;
            }
            cells[i] = cached;
        } else {
            cells[i] = lookUpGlyph(resolved, lf, qc, units);
        }
        if (units == 2)
            ++i;
    }
    return cells;
}

// The left edges of the cells along the run in device units, and the run's end after them: the
// advances given, or the faces' own.
std::vector<qreal> PainterDevice::cellEdges(TextFont& resolved, const std::vector<Cell>& cells,
                                            std::span<const int32_t> dx, bool hasDx)
{
    const size_t n = cells.size();
    const qreal sx = std::abs(m_toDevice.m11());
    std::vector<qreal> x(n + 1, 0.0);
    if (!resolved.spaceResolved) {
        const QChar space(u' ');
        int count = 1;
        resolved.primary.raw.glyphIndexesForChars(&space, 1, &resolved.spaceGlyph, &count);
        resolved.spaceResolved = true;
    }
    const quint32 spaceGlyph = resolved.spaceGlyph;
    for (size_t i = 0; i < n; ++i) {
        qreal advance;
        if (hasDx) {
            advance = qreal(dx[i]) * sx;
        } else {
            const SizedFont& f = cells[i].fromFallback ? resolved.fallback : resolved.primary;
            QPointF a;
            quint32 g = cells[i].visible ? cells[i].glyph : spaceGlyph;
            f.raw.advancesForGlyphIndexes(&g, &a, 1);
            advance = a.x() * f.scaleX;
        }
        x[i + 1] = x[i] + advance;
    }
    return x;
}

// Where the run lies from its reference point by the text alignment: the run's start along the
// text and its baseline down from the point.
QPointF PainterDevice::textOffset(const SizedFont& primary, qreal total) const
{
    const uint32_t align = m_state.textAlign;
    qreal shiftX = 0.0;
    if ((align & kTaCenter) == kTaCenter)
        shiftX = -total / 2;
    else if (align & kTaRight)
        shiftX = -total;
    qreal baseline = 0.0;
    if ((align & kTaBaseline) == kTaBaseline)
        baseline = 0.0;
    else if (align & kTaBottom)
        baseline = -primary.raw.descent();
    else
        baseline = primary.raw.ascent();
    return {shiftX, baseline};
}

// The glyphs of one face at their cells. Where the cells are evenly spaced and the device is fine
// (PDF, paper), the horizontal scale is nudged, by well under one percent, so that each cell is a
// whole number of glyph units: a PDF then holds short whole numbers for the glyph positions
// instead of long fractions, which makes it a quarter smaller and faster to write. The cells
// themselves stay exactly where they are.
void PainterDevice::drawGlyphs(const SizedFont& font, bool fromFallback, const std::vector<Cell>& cells,
                               const std::vector<qreal>& x, QPointF offset, const QTransform& run,
                               bool evenCells)
{
    const size_t n = cells.size();
    const qreal cell = n > 0 ? x[1] - x[0] : 0.0;
    qreal scaleX = font.scaleX;
    if (evenCells && cell > 0.0) {
        const qreal units = std::round(cell / scaleX);
        if (units >= 100.0 && std::abs(cell / units / scaleX - 1.0) < 0.005)
            scaleX = cell / units;
    }
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(qsizetype(n));
    positions.reserve(qsizetype(n));
    for (size_t i = 0; i < n; ++i) {
        if (!cells[i].visible || cells[i].fromFallback != fromFallback)
            continue;
        glyphs.append(cells[i].glyph);
        positions.append(QPointF((x[i] + offset.x()) / scaleX, offset.y()));
    }
    if (glyphs.isEmpty())
        return;
    QGlyphRun glyphRun;
    glyphRun.setRawFont(font.raw);
    glyphRun.setGlyphIndexes(glyphs);
    glyphRun.setPositions(positions);
    QTransform t = run;
    t.scale(scaleX, 1.0);
    m_painter.setTransform(t * m_base);
    m_painter.drawGlyphRun(QPointF(0, 0), glyphRun);
}

bool PainterDevice::drawText(Point ref, uint32_t options, const Rect* clip, const std::u16string& chars,
                             std::span<const int32_t> dx, bool hasDx)
{
    if (hasDx && dx.size() < chars.size())
        return false;
    const LogFont& lf = selectedFont();
    TextFont& resolved = textFont(lf);
    const SizedFont& primary = resolved.primary;
    if (!primary.raw.isValid())
        return false;
    const SizedFont& fallback = resolved.fallback; // loaded when a character first needs it

    const std::vector<Cell> cells = textCells(resolved, lf, chars);
    const std::vector<qreal> x = cellEdges(resolved, cells, dx, hasDx);
    const size_t n = cells.size();
    const qreal total = x[n];
    const QPointF offset = textOffset(primary, total);
    const qreal shiftX = offset.x(), baseline = offset.y();
    const qreal ascent = primary.raw.ascent();
    const qreal descent = primary.raw.descent();

    m_painter.save();
    m_painter.setTransform(m_base);
    const QPointF origin = m_toDevice.map(QPointF(ref.x, ref.y));
    if (clip && (options & kEtoClipped))
        m_painter.setClipRect(deviceRect(m_toDevice, *clip), Qt::IntersectClip);

    // The run's space: x along the text, y down, the reference point at 0,0.
    QTransform run;
    run.translate(origin.x(), origin.y());
    if (lf.escapement != 0)
        run.rotate(-qreal(lf.escapement) / 10.0);

    if ((options & kEtoOpaque) && m_state.bkMode != kTransparent) {
        if (clip) {
            m_painter.fillRect(deviceRect(m_toDevice, *clip), toQColor(m_state.bkColor));
        } else {
            m_painter.setTransform(run * m_base);
            m_painter.fillRect(QRectF(shiftX, baseline - ascent, total, ascent + descent),
                               toQColor(m_state.bkColor));
        }
    }

    const QColor color = toQColor(m_state.textColor);
    m_painter.setPen(color);
    drawGlyphs(primary, false, cells, x, offset, run, hasDx);
    if (fallback.raw.isValid())
        drawGlyphs(fallback, true, cells, x, offset, run, hasDx);

    if ((lf.underline || lf.strikeOut) && n > 0) {
        m_painter.setTransform(run * m_base);
        const qreal thickness = std::max<qreal>(primary.raw.lineThickness(), 1.0);
        if (lf.underline)
            m_painter.fillRect(QRectF(shiftX, baseline + primary.raw.underlinePosition() - thickness / 2,
                                      total, thickness), color);
        if (lf.strikeOut)
            m_painter.fillRect(QRectF(shiftX, baseline - primary.raw.xHeight() / 2 - thickness / 2,
                                      total, thickness), color);
    }
    m_painter.restore();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Lines and shapes

void PainterDevice::applyPenAndBrush()
{
    LogPen pen;
    if (isStockObject(m_state.pen)) {
        pen = stockPen(m_state.pen);
    } else if (auto it = m_objects.find(m_state.pen); it != m_objects.end()) {
        pen = std::get<LogPen>(it->second);
    }
    QPen qpen(toQColor(pen.color));
    qpen.setWidthF(std::abs(qreal(pen.width))); // logical units; 0 is one device pixel
    qpen.setCapStyle(Qt::FlatCap);
    qpen.setJoinStyle(Qt::MiterJoin);
    switch (pen.style & 0x0F) {
    case 1:
        qpen.setStyle(Qt::DashLine);
        break;
    case 2:
        qpen.setStyle(Qt::DotLine);
        break;
    case 3:
        qpen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        qpen.setStyle(Qt::DashDotDotLine);
        break;
    case kPsNull:
        qpen.setStyle(Qt::NoPen);
        break;
    default:
        qpen.setStyle(Qt::SolidLine);
        break;
    }
    m_painter.setPen(qpen);

    LogBrush brush;
    if (isStockObject(m_state.brush)) {
        brush = stockBrush(m_state.brush);
    } else if (auto it = m_objects.find(m_state.brush); it != m_objects.end()) {
        brush = std::get<LogBrush>(it->second);
    }
    if (brush.style == kBsNull) {
        m_painter.setBrush(Qt::NoBrush);
    } else if (brush.style == 2) { // BS_HATCHED
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        m_painter.setBrush(QBrush(toQColor(brush.color), brush.hatch < 6 ? hatches[brush.hatch] : Qt::SolidPattern));
    } else {
        m_painter.setBrush(toQColor(brush.color));
    }
}

void PainterDevice::moveTo(Point p) { m_state.position = p; }

void PainterDevice::lineTo(Point p)
{
    const QPointF from(m_state.position.x, m_state.position.y);
    drawShape([&] { m_painter.drawLine(from, QPointF(p.x, p.y)); });
    m_state.position = p;
}

void PainterDevice::rectangle(const Rect& r)
{
    drawShape([&] { m_painter.drawRect(QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom)).normalized()); });
}

void PainterDevice::drawShape(const std::function<void()>& draw)
{
    m_painter.save();
    m_painter.setTransform(m_toDevice * m_base);
    applyPenAndBrush();
    draw();
    m_painter.restore();
}

namespace {

QPolygonF toPolygon(std::span<const Point> points)
{
    QPolygonF poly;
    poly.reserve(qsizetype(points.size()));
    for (const Point& p : points)
        poly.append(QPointF(p.x, p.y));
    return poly;
}

} // namespace

void PainterDevice::polyline(std::span<const Point> points)
{
    if (points.size() < 2)
        return;
    const QPolygonF poly = toPolygon(points);
    drawShape([&] { m_painter.drawPolyline(poly); });
}

void PainterDevice::polygon(std::span<const Point> points)
{
    if (points.size() < 2)
        return;
    const QPolygonF poly = toPolygon(points);
    drawShape([&] { m_painter.drawPolygon(poly, Qt::OddEvenFill); });
}

// Dot pictures: black where a bit is set, nothing where it is clear.
//
// On raster surfaces (the preview, PNG) the picture is resampled here onto whole device pixels
// (DotRaster.h): its edges are rounded to pixel boundaries, so two pictures that share an edge
// meet without a gap or an overlap at any scale; enlarged dots stay sharp; shrunk ones keep their
// share of ink as grey instead of dropping whole rows. QPainter's own image scaling does neither:
// unsmoothed it drops rows when shrinking, smoothed it blurs when enlarging, and it places
// fractional edges by its own rounding.
//
// On a PDF the picture is one 1-bit image placed by the page's transform: the PDF reader scales
// it, at any zoom and at the printer's resolution. With a PdfStencilFilter behind the PDF it is a
// stencil mask (1 bit a dot, painting black); otherwise a transparent image. (The printer
// emulation gathers a sheet's bands into as few pictures as it can, so a page of graphics is one
// image or a few.)
void PainterDevice::drawMonoBitmap(const Rect& dest, const MonoBitmap& bitmap)
{
    if (!bitmap.valid() || dest.right <= dest.left || dest.bottom <= dest.top)
        return;
    m_painter.save();
    const QPaintEngine* engine = m_painter.paintEngine();
    const bool pdf = engine && engine->type() == QPaintEngine::Pdf;
    if (!drawDotsAtDeviceResolution(dest, bitmap))
        drawDotsAsImage(dest, bitmap, pdf && m_pdfStencils);
    m_painter.restore();
}

bool PainterDevice::drawDotsAtDeviceResolution(const Rect& dest, const MonoBitmap& bitmap)
{
    QPaintEngine* engine = m_painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return false;
    m_painter.setTransform(m_toDevice * m_base);
    const QTransform full = m_painter.deviceTransform();
    if (full.type() > QTransform::TxScale)
        return false; // turned or sheared: Qt's image drawing
    const QPointF a = full.map(QPointF(dest.left, dest.top));
    const QPointF b = full.map(QPointF(dest.right, dest.bottom));
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y()))
        return true;
    // Edges rounded the same way wherever they come from; far-off values come only from damaged
    // pictures and are kept within reach of 64-bit arithmetic.
    auto edge = [](qreal v) { return int64_t(std::floor(std::clamp<qreal>(v, -1e12, 1e12) + 0.5)); };
    const int64_t x0 = edge(std::min(a.x(), b.x()));
    const int64_t y0 = edge(std::min(a.y(), b.y()));
    // A picture thinner than a pixel still takes one.
    const int64_t x1 = std::max(edge(std::max(a.x(), b.x())), x0 + 1);
    const int64_t y1 = std::max(edge(std::max(a.y(), b.y())), y0 + 1);

    // Only the part on the surface is made: the area being painted, or the whole device.
    QRect limit = engine->systemClip().boundingRect();
    if (limit.isEmpty()) {
        const QPaintDevice* device = m_painter.device();
        const qreal ratio = std::max<qreal>(device->devicePixelRatio(), 1.0);
        limit = QRect(0, 0, int(std::ceil(device->width() * ratio)), int(std::ceil(device->height() * ratio)));
    }
    const int64_t vx0 = std::max<int64_t>(x0, limit.left()), vx1 = std::min<int64_t>(x1, int64_t(limit.right()) + 1);
    const int64_t vy0 = std::max<int64_t>(y0, limit.top()), vy1 = std::min<int64_t>(y1, int64_t(limit.bottom()) + 1);
    if (vx1 <= vx0 || vy1 <= vy0)
        return true;
    const QRect visible(int(vx0 - x0), int(vy0 - y0), int(vx1 - vx0), int(vy1 - vy0));
    const QImage dots = rasterizeDots(bitmap, x1 - x0, y1 - y0, visible, b.x() < a.x(), b.y() < a.y());
    if (dots.isNull())
        return true;
    // Device pixels one to one.
    m_painter.resetTransform();
    m_painter.setTransform(m_painter.deviceTransform().inverted());
    m_painter.drawImage(QPoint(int(vx0), int(vy0)), dots);
    return true;
}

void PainterDevice::drawDotsAsImage(const Rect& dest, const MonoBitmap& bitmap, bool stencil)
{
    QImage image(bitmap.width, bitmap.height, QImage::Format_Mono);
    if (image.isNull())
        return;
    // Qt's PDF engine writes a Format_Mono image with exactly this black-and-white table as a
    // 1-bit grey image, which the stencil filter makes a mask that paints where a bit is 1.
    image.setColorTable(stencil ? QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}
                                : QList<QRgb>{qRgba(0, 0, 0, 0), qRgb(0, 0, 0)});
    const size_t perRow = size_t(bitmap.bytesPerRow());
    for (int32_t y = 0; y < bitmap.height; ++y)
        std::memcpy(image.scanLine(y), bitmap.rows.data() + size_t(y) * perRow, perRow);
    m_painter.setTransform(m_toDevice * m_base);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter.setRenderHint(QPainter::LosslessImageRendering, true); // never JPEG
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::black); // a stencil's colour
    m_painter.drawImage(QRectF(QPointF(dest.left, dest.top), QPointF(dest.right, dest.bottom)), image);
}

} // namespace quillon
