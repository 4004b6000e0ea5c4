#pragma once
// A drawing context over a QPainter: the screen, PNG, PDF and paper side of page pictures.

#include "gdi/CodePage.h"
#include "gdi/DrawingContext.h"

#include <QHash>
#include <QRawFont>
#include <QString>
#include <QTransform>

#include <array>
#include <cstddef>
#include <memory>
#include <functional>
#include <unordered_map>
#include <variant>
#include <vector>

class QPainter;

namespace quillon {

class PainterDevice final : public DrawingContext {
public:
    // painter is borrowed: it must be active and outlive this device, and nobody else may draw with
    // it while the device is in use. The painter's transform at construction is the device space
    // (MM_TEXT maps one logical unit to one unit of it). Every drawing call leaves the painter's own
    // state (pen, brush, transform, clip) as it found it.
    // codePage decodes text in fonts with the OEM character set.
    PainterDevice(QPainter& painter, DosCodePage codePage);
    ~PainterDevice() override;

    PainterDevice(const PainterDevice&) = delete;
    PainterDevice& operator=(const PainterDevice&) = delete;

    GdiObject createFont(const LogFont& font) override;
    GdiObject createPen(const LogPen& pen) override;
    GdiObject createBrush(const LogBrush& brush) override;
    GdiObject selectObject(GdiObject object) override;
    // Refuses stock objects, unknown handles and objects that are selected.
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

    // The PDF this device paints into passes through a PdfStencilFilter, which makes every
    // opaque 1-bit grey image a stencil mask: dot pictures are then drawn as such images, 1 bit a
    // dot in the file. Without it (the default) a dot picture on a PDF is a transparent image,
    // right in any PDF but larger: an RGB image with a 1-bit mask.
    void setPdfStencils(bool on) { m_pdfStencils = on; }

    // Logical to device space (the painter's space at construction), for tests and callers that
    // mix their own drawing with this device's.
    QTransform logicalToDevice() const { return m_toDevice; }

    // The face drawn for characters the selected face lacks.
    static constexpr const char* kFallbackFace = "DejaVu Sans Mono";

private:
    using Object = std::variant<LogFont, LogPen, LogBrush>;

    // Draws a shape in logical coordinates with the selected pen and brush.
    void drawShape(const std::function<void()>& draw);

    struct State {
        GdiObject font = stockObject(StockObject::SystemFont);
        GdiObject pen = stockObject(StockObject::BlackPen);
        GdiObject brush = stockObject(StockObject::WhiteBrush);
        uint32_t textAlign = 0;
        ColorRef textColor = 0;
        ColorRef bkColor = 0xFFFFFF;
        int bkMode = kOpaque;
        int mapMode = kMmText;
        Point windowOrg;
        Size windowExt{1, 1};
        Point viewportOrg;
        Size viewportExt{1, 1};
        Point position;
    };

    // A face at a given pixel size, with the scale that brings its average width to the cell.
    struct SizedFont {
        QRawFont raw;
        qreal scaleX = 1.0;
    };
    struct FaceMetrics {
        QRawFont raw;         // at the reference size
        qreal cellPerPixel;   // (ascent + descent) / pixel size
        qreal widthPerPixel;  // average character width / pixel size
    };

    // What a character cell draws: a glyph of the primary or the fallback face, or nothing.
    struct Cell {
        quint32 glyph = 0;
        bool fromFallback = false;
        bool visible = false;
        bool known = false; // in the glyph cache: looked up already
    };
    // The cells of characters below kCachedChars, in blocks of 256 made on first use.
    static constexpr char32_t kCachedChars = 0x3000;
    using CellBlock = std::array<Cell, 256>;

    // The fonts of one text call: a logical font resolved for one mapping scale and resolution.
    // Text calls come by the hundred on a page with a handful of fonts, so each is resolved once,
    // and so is the glyph of each character it draws.
    struct TextFont {
        QString face;
        SizedFont primary;
        SizedFont fallback;            // resolved when a character first needs it
        bool fallbackResolved = false;
        bool spaceResolved = false;
        quint32 spaceGlyph = 0;        // of the primary face, for runs without advances
        std::array<std::unique_ptr<CellBlock>, kCachedChars / 256> cells;
    };
    struct TextFontKey {
        LogFont font;
        qreal scaleX;
        qreal scaleY;
        qreal dpiY;
    };
    // Looks text fonts up by a key or by its parts, without copying the face name.
    struct TextFontKeyView {
        const LogFont& font;
        qreal scaleX;
        qreal scaleY;
        qreal dpiY;
    };
    struct TextFontHash {
        using is_transparent = void;
        size_t operator()(const TextFontKey& k) const { return hash(k.font, k.scaleX, k.scaleY, k.dpiY); }
        size_t operator()(const TextFontKeyView& k) const { return hash(k.font, k.scaleX, k.scaleY, k.dpiY); }
        static size_t hash(const LogFont& f, qreal sx, qreal sy, qreal dpiY);
    };
    struct TextFontEqual {
        using is_transparent = void;
        template <class A, class B>
        bool operator()(const A& a, const B& b) const
        {
            return a.scaleX == b.scaleX && a.scaleY == b.scaleY && a.dpiY == b.dpiY && a.font == b.font;
        }
    };

    void updateTransform();
    const LogFont& selectedFont() const;
    const FaceMetrics& faceMetrics(const QString& face, int weight, bool italic);
    SizedFont sizedFont(const QString& face, const LogFont& font);
    TextFont& textFont(const LogFont& font);
    Cell lookUpGlyph(TextFont& font, const LogFont& lf, const QChar* chars, int units);
    bool drawText(Point ref, uint32_t options, const Rect* clip, const std::u16string& chars,
                  std::span<const int32_t> dx, bool hasDx);
    // The steps of drawText().
    std::vector<Cell> textCells(TextFont& resolved, const LogFont& lf, const std::u16string& chars);
    std::vector<qreal> cellEdges(TextFont& resolved, const std::vector<Cell>& cells,
                                 std::span<const int32_t> dx, bool hasDx);
    QPointF textOffset(const SizedFont& primary, qreal total) const;
    void drawGlyphs(const SizedFont& font, bool fromFallback, const std::vector<Cell>& cells,
                    const std::vector<qreal>& x, QPointF offset, const QTransform& run, bool evenCells);
    void applyPenAndBrush();
    // The three ways of drawing a dot picture (see drawMonoBitmap()).
    bool drawDotsAtDeviceResolution(const Rect& dest, const MonoBitmap& bitmap);
    void drawDotsAsImage(const Rect& dest, const MonoBitmap& bitmap, bool stencil);

    QPainter& m_painter;
    DosCodePage m_codePage;
    QTransform m_base;      // the painter's transform at construction
    QTransform m_toDevice;  // logical to device space
    std::unordered_map<GdiObject, Object> m_objects;
    GdiObject m_nextHandle = 1;
    State m_state;
    std::vector<State> m_saved;

    QHash<QString, FaceMetrics> m_faces;   // by face, weight and italic
    QHash<QString, QRawFont> m_sizedFonts; // by face, weight, italic and pixel size
    std::unordered_map<TextFontKey, TextFont, TextFontHash, TextFontEqual> m_textFonts;
    std::u16string m_chars; // the text of the current call, decoded
    bool m_pdfStencils = false;
};

} // namespace quillon
