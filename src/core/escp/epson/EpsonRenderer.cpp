#include "escp/epson/EpsonRenderer.h"

#include "TextUtil.h"
#include "Units.h"
#include "escp/ByteSource.h"
#include "escp/PageRenderer.h"
#include "escp/epson/InternationalSets.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>
#include <vector>

namespace quillon::epson {

namespace {

constexpr uint32_t kBaselineAlign = 24; // left, baseline, not updating the current position
// The baseline of a character lies 20/180 inch below the top of its 1/6-inch line, as on Epson's
// printers: two thirds of the cell, whatever the job's font size.
constexpr long double kBaselineShare = 2.0L / 3.0L;

std::string hexByte(uint8_t b)
{
    constexpr char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
}

} // namespace

EpsonRenderer::EpsonRenderer(TPrinterState& state, const TSettings& settings)
    : m_state(state), m_settings(settings), m_model(&epsonModel(PrinterEmulation::Lq)),
      m_strip([this](int64_t l, int64_t t, int64_t r, int64_t b, const MonoBitmap& bitmap) {
          m_sheet.dc->drawMonoBitmap(Rect{units(l), units(t), units(r), units(b)}, bitmap);
      }),
      m_chunk(std::make_unique<char[]>(kReadChunk))
{
}

EpsonRenderer::~EpsonRenderer() = default;

void EpsonRenderer::startJob(PrinterEmulation emulation)
{
    m_model = &epsonModel(emulation);
    m_p = EpsonState{};
    resetPrinter();
    m_offset = 0;
    m_needMore = false;
    m_sheetEnded = false;
    m_reported.clear();
    m_face.clear();
}

int32_t EpsonRenderer::units(int64_t g) const
{
    return roundUnits((long double)g * kUnitsPerInchL * (long double)m_state.scale / (long double)kGrid);
}

int64_t EpsonRenderer::grid(int32_t u) const
{
    return int64_t((long double)u * (long double)kGrid / (kUnitsPerInchL * (long double)m_state.scale));
}

int64_t EpsonRenderer::rightEdge() const
{
    return m_p.rightMargin > 0 ? std::min(m_p.rightMargin, m_sheet.width) : m_sheet.width;
}

int64_t EpsonRenderer::pageUnit() const { return m_p.unit ? m_p.unit : perInch(360); }

// The job's font size is the cell of the printer's 10.5-point characters; ESC X scales it.
int32_t EpsonRenderer::cellHeight() const
{
    const int32_t H = PointsToUnits(JobFontSize);
    return m_p.pointSize > 0 ? roundUnits((long double)H * m_p.pointSize / 21.0L) : H;
}

bool EpsonRenderer::fits(int32_t heightUnits) const
{
    return m_p.sheetY <= 0 || units(m_p.sheetY) + heightUnits <= m_sheet.heightUnits;
}

EpsonRenderer::Flow EpsonRenderer::placeOnSheet(int32_t heightUnits) const
{
    if (m_sheetEnded)
        return Flow::NewSheetBefore;
    return fits(heightUnits) ? Flow::Go : Flow::BreakBefore;
}

void EpsonRenderer::breakSheet()
{
    m_p.sheetY = 0;
    if (m_p.formLength == 0) // the form is the sheet: a new sheet is a new form
        m_p.formY = 0;
}

void EpsonRenderer::unknown(const std::string& what)
{
    if (m_reported.insert(what).second && notice)
        notice("Pominięto nieznane polecenie drukarki " + what);
}

void EpsonRenderer::RAPPaintPage(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt)
{
    TPrinterState& st = m_state;
    const bool landscape = Sender.PaperOrient == vxLandscape;
    m_sheet.dc = &Canv.handle();
    m_sheet.heightUnits = (landscape ? st.pageWidth : st.pageHeight) - Sender.MargTop;
    m_sheet.widthUnits = (landscape ? Sender.PaperLength() : Sender.PaperWidth()) - Sender.MargLeft;
    if (m_sheet.heightUnits <= 0 || m_sheet.widthUnits <= 0)
        throw EPageTooSmall("Za mała strona drukarki: " + std::to_string(m_sheet.widthUnits) + " × "
                            + std::to_string(m_sheet.heightUnits) + " (0,01 mm)");
    m_sheet.width = grid(m_sheet.widthUnits);
    m_sheet.height = grid(m_sheet.heightUnits);
    Canv.setBrushStyleClear();

    struct Flush {
        DotStrip& strip;
        ~Flush() { strip.flush(); }
    } flushAtEnd{m_strip};

    StopIt = true;
    bool atEnd = false;
    for (;;) {
        if ((st.buffer.size() <= kRefillBelow || m_needMore) && !atEnd) {
            const size_t got = JobFile ? JobFile->read(m_chunk.get(), kReadChunk) : 0;
            st.buffer.append(m_chunk.get(), got);
            if (got < kReadChunk)
                atEnd = true;
            m_needMore = false;
        }
        if (st.buffer.empty()) {
            if (atEnd)
                return;
            continue;
        }
        const std::string_view bytes = st.buffer.view();
        const Token token = readToken(bytes, atEnd, *m_model, m_p.reader, m_offset);
        if (token.kind == TokenKind::NeedMore) {
            m_needMore = true;
            continue;
        }
        const Step step = execute(token, bytes.substr(0, token.length));
        st.buffer.keepRest(bytes.substr(step.consumed));
        m_offset += step.consumed;
        if (step.flow == Flow::BreakBefore)
            breakSheet();
        if (step.flow == Flow::NewSheetBefore)
            m_sheetEnded = false;
        if (step.flow != Flow::Go) {
            StopIt = false;
            return;
        }
    }
}

EpsonRenderer::Step EpsonRenderer::execute(const Token& token, std::string_view bytes)
{
    switch (token.kind) {
    case TokenKind::Text:
        return text(bytes, false);
    case TokenKind::Control:
        return control(token.code);
    case TokenKind::Command:
        return escape(token);
    case TokenKind::Unknown:
        unknown(std::string("ESC ") + (token.code >= 0x21 && token.code < 0x7F
                                           ? std::string(1, char(token.code))
                                           : std::string())
                + " (1B " + hexByte(token.code) + ")");
        return {token.length, Flow::Go};
    case TokenKind::Marker:
    case TokenKind::Cut:
    case TokenKind::NeedMore:
        break;
    }
    return {token.length, Flow::Go};
}

// Text: every byte is one character cell; a character that would pass the right margin goes to
// the start of the next line first, as the printer wraps.
EpsonRenderer::Step EpsonRenderer::text(std::string_view bytes, bool controlsAsText)
{
    const int32_t H = cellHeight();
    const int32_t needed = m_p.doubleHeight ? 2 * H : H;
    if (const Flow place = placeOnSheet(needed); place != Flow::Go)
        return {0, place};

    const int64_t advance = m_p.charAdvance();
    std::string run;
    std::u16string wide;
    bool runItalic = false, runWide = false;
    int64_t runX = m_p.x;
    auto flushRun = [&] {
        if (!run.empty())
            drawSegment(run, runWide ? std::u16string_view(wide) : std::u16string_view(), runItalic,
                        runX, advance);
        run.clear();
        wide.clear();
    };

    size_t i = 0;
    for (; i < bytes.size(); ++i) {
        uint8_t b = uint8_t(bytes[i]);
        if (m_p.msb == 0)
            b &= 0x7F;
        else if (m_p.msb == 1)
            b |= 0x80;
        if (!controlsAsText && (b < 0x20 || b == 0x7F))
            continue; // a byte that the top-bit rule made a control code prints nothing
        if (m_p.x + advance > rightEdge() && m_p.x > m_p.leftMargin) {
            flushRun();
            m_p.x = m_p.leftMargin;
            lineEnd();
            feed(m_p.lineSpacing);
            if (const Flow place = placeOnSheet(needed); place != Flow::Go)
                return {i, place};
        }
        bool italic = false;
        if (m_p.table == CharTable::Italic && b >= 0xA0) {
            b &= 0x7F;
            italic = true;
        }
        const char16_t national = internationalCharacter(m_p.international, b);
        const bool isWide = national != 0;
        if (!run.empty() && (italic != runItalic || isWide != runWide))
            flushRun();
        if (run.empty()) {
            runX = m_p.x;
            runItalic = italic;
            runWide = isWide;
        }
        run.push_back(char(b));
        if (isWide)
            wide.push_back(national);
        m_p.x += advance;
    }
    flushRun();
    return {i, Flow::Go};
}

void EpsonRenderer::drawSegment(std::string_view bytes, std::u16string_view wide, bool italic,
                                int64_t x0, int64_t advance)
{
    DrawingContext& dc = *m_sheet.dc;
    const int32_t H = cellHeight();
    int32_t h = m_p.doubleHeight ? 2 * H : H;
    int32_t top = units(m_p.sheetY);
    if (m_p.script != 0) {
        const int32_t small = roundUnits((long double)H * 2.0L / 3.0L);
        if (m_p.script < 0)
            top += H - small;
        h = small;
    }
    const int32_t baseline = top + roundUnits((long double)h * kBaselineShare);

    if (m_face.empty())
        m_face = utf8ToUtf16(m_settings.FontName);
    LogFont lf;
    lf.height = h;
    lf.width = units(m_p.charWidth());
    lf.weight = (m_p.emphasized || m_p.doubleStrike) ? 700 : 400;
    lf.italic = (m_p.italic || italic) ? 1 : 0;
    lf.underline = m_p.underline ? 1 : 0;
    lf.strikeOut = m_p.strikeThrough ? 1 : 0;
    lf.charSet = kOemCharset;
    lf.pitchAndFamily = kFixedPitch;
    lf.faceName = m_face;

    // Each advance is the step between two rounded cell edges, so no error adds up along a line.
    std::vector<int32_t> dx(bytes.size() + 1);
    for (size_t i = 0; i < bytes.size(); ++i)
        dx[i] = units(x0 + int64_t(i + 1) * advance) - units(x0 + int64_t(i) * advance);
    dx[bytes.size()] = dx.empty() ? 0 : dx[0];
    const std::span<const int32_t> advances(dx.data(), bytes.size());

    GdiObject font = dc.createFont(lf);
    GdiObject previous = dc.selectObject(font);
    dc.setTextAlign(kBaselineAlign);
    const ColorRef previousColor = dc.setTextColor(0x000000);
    const Point at{units(x0), baseline};
    if (wide.empty())
        dc.extTextOutA(at, 0, nullptr, bytes, advances);
    else
        dc.extTextOutW(at, 0, nullptr, wide, advances);
    dc.setTextColor(previousColor);
    dc.selectObject(previous);
    dc.deleteObject(font);
}

} // namespace quillon::epson
