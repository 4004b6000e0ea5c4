#include "escp/PageRenderer.h"

#include "TextUtil.h"
#include "Units.h"
#include "escp/ByteSource.h"
#include "gdi/DrawingContext.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr uint32_t kBaselineAlign = 24; // left, baseline, not updating the current position

} // namespace

std::unique_ptr<int32_t[]> MakeAdvanceArray(size_t count, int32_t pitch, double scale,
                                            bool doubleWidth)
{
    auto advances = std::make_unique<int32_t[]>(count + 1);
    std::fill_n(advances.get(), count + 1, AdvanceWidth(pitch, scale, doubleWidth));
    return advances;
}

int32_t AdvanceWidth(int32_t pitch, double scale, bool doubleWidth)
{
    int32_t w = roundUnits(kUnitsPerInchL / pitch * (long double)scale);
    return doubleWidth ? 2 * w : w;
}

PageRenderer::PageRenderer(TPrinterState& state, const TSettings& settings)
    : m_state(state), m_settings(settings), m_chunk(std::make_unique<char[]>(kReadChunk))
{
}

const std::u16string& PageRenderer::faceName()
{
    if (m_face.empty() || m_faceSource != m_settings.FontName) {
        m_faceSource = m_settings.FontName;
        m_face = utf8ToUtf16(m_faceSource);
    }
    return m_face;
}

void PageRenderer::RAPPaintPage(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt)
{
    TPrinterState& st = m_state;
    const int32_t extent = Sender.PaperOrient == vxLandscape ? st.pageWidth : st.pageHeight;
    const int32_t bottom = extent - Sender.MargTop - kBottomReserve;
    if (bottom <= 0)
        throw EPageTooSmall("Za mała wysokość strony drukarki: " + std::to_string(extent)
                            + " (0,01 mm) nie mieści żadnego wiersza");

    StopIt = true;
    bool atEnd = false;
    TEscCommand command;
    do {
        if (st.buffer.size() <= kRefillBelow && !atEnd) {
            size_t got = JobFile ? JobFile->read(m_chunk.get(), kReadChunk) : 0;
            st.buffer.append(m_chunk.get(), got);
            if (got < kReadChunk)
                atEnd = true;
        }
        if (!st.buffer.empty()) {
            if (st.y > bottom) {
                TEscCommand formFeed;
                formFeed.code = esc::FormFeed;
                ExecuteCommand(st, formFeed);
                StopIt = false;
                return;
            }
            std::string_view text, rest;
            SplitPrintStream(st.buffer.view(), atEnd, text, command, rest);
            if (!text.empty())
                DrawTextRun(text, Canv, Sender);
            st.buffer.keepRest(rest);
            if (command.code == esc::FormFeed) {
                ExecuteCommand(st, command);
                if (!st.buffer.empty() || !atEnd)
                    StopIt = false;
                return;
            }
            if (command.code != esc::None)
                ExecuteCommand(st, command);
        }
    } while (!atEnd || !st.buffer.empty());
}

void PageRenderer::DrawTextRun(std::string_view text, TVxCanvas& canvas, const TVxReport& report)
{
    TPrinterState& st = m_state;
    size_t n = std::min(text.size(), kMaxTextRun);

    const int32_t H = PointsToUnits(JobFontSize);
    const int32_t weight = st.bold ? 700 : 400;
    int32_t h = H;
    int32_t shift = 0;
    if (st.script != 0) {
        h = roundUnits((long double)H * 0.6L);
        shift = st.script > 0 ? H / 3 : -(H / 5);
    }
    canvas.setBrushStyleClear();
    int32_t w = st.charWidth();
    if (st.doubleWidth)
        w *= 2;

    DrawingContext& dc = canvas.handle();
    LogFont& lf = m_font;
    if (const std::u16string& face = faceName(); lf.faceName != face)
        lf.faceName = face;
    lf.height = h;
    lf.width = w;
    lf.weight = weight;
    lf.charSet = kOemCharset;
    lf.pitchAndFamily = kFixedPitch;
    GdiObject font = dc.createFont(lf);
    GdiObject previousFont = dc.selectObject(font);
    dc.setTextAlign(kBaselineAlign);
    ColorRef previousColor = dc.setTextColor(0x000000);

    const int32_t room = (report.PaperOrient == vxPortrait ? report.PaperWidth() : report.PaperLength())
                       - report.MargLeft - st.leftMargin;
    const int32_t fit = w > 0 ? std::max(0, (room - st.x) / w) : 0;
    if (n > size_t(fit))
        n = size_t(fit);

    if (n > 0) {
        const AdvanceKey key{st.pitch, st.scale, st.doubleWidth};
        if (!(key == m_advanceKey)) {
            m_advanceKey = key;
            m_advance = AdvanceWidth(st.pitch, st.scale, st.doubleWidth);
        }
        m_advances.assign(n, m_advance);
        dc.extTextOutA({st.x + st.leftMargin, st.y + H - shift}, 0, nullptr, text.substr(0, n), m_advances);
    }
    dc.setTextColor(previousColor);
    st.x += w * int32_t(n);
    dc.selectObject(previousFont);
    dc.deleteObject(font);
}

} // namespace quillon
