#include "escp/PageRenderer.h"

#include "TextUtil.h"
#include "Units.h"
#include "escp/ByteSource.h"
#include "gdi/DrawingContext.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>
#include <span>

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

void PageRenderer::takeJobFont()
{
    if (m_face.empty() || m_faceSource != m_settings.FontName) {
        m_faceSource = m_settings.FontName;
        m_face = utf8ToUtf16(m_faceSource);
        m_font.faceName = m_face;
    }
    m_cellHeight = PointsToUnits(JobFontSize);
    m_scriptHeight = roundUnits((long double)m_cellHeight * 0.6L);
}

const std::vector<int32_t>& PageRenderer::advanceRow()
{
    const AdvanceKey key{m_state.pitch, m_state.scale, m_state.doubleWidth};
    if (m_lastRow < m_advanceRows.size() && m_advanceRows[m_lastRow].key == key)
        return m_advanceRows[m_lastRow].advances;
    for (size_t i = 0; i < m_advanceRows.size(); ++i) {
        if (m_advanceRows[i].key == key) {
            m_lastRow = i;
            return m_advanceRows[i].advances;
        }
    }
    if (m_advanceRows.size() >= kAdvanceRows)
        m_advanceRows.clear();
    const int32_t advance = AdvanceWidth(key.pitch, key.scale, key.doubleWidth);
    m_advanceRows.push_back({key, std::vector<int32_t>(kMaxTextRun, advance)});
    m_lastRow = m_advanceRows.size() - 1;
    return m_advanceRows.back().advances;
}

void PageRenderer::RAPPaintPage(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt)
{
    TPrinterState& st = m_state;
    const int32_t extent = Sender.PaperOrient == vxLandscape ? st.pageWidth : st.pageHeight;
    const int32_t bottom = extent - Sender.MargTop - kBottomReserve;
    if (bottom <= 0)
        throw EPageTooSmall("Za mała wysokość strony drukarki: " + std::to_string(extent)
                            + " (0,01 mm) nie mieści żadnego wiersza");

    takeJobFont();
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

    const int32_t H = m_cellHeight;
    const int32_t weight = st.bold ? 700 : 400;
    int32_t h = H;
    int32_t shift = 0;
    if (st.script != 0) {
        h = m_scriptHeight;
        shift = st.script > 0 ? H / 3 : -(H / 5);
    }
    canvas.setBrushStyleClear();
    const std::vector<int32_t>& advances = advanceRow();
    const int32_t w = advances.front(); // the character width, doubled for double width

    DrawingContext& dc = canvas.handle();
    LogFont& lf = m_font; // its face name is taken once a page, by takeJobFont()
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

    if (n > 0)
        dc.extTextOutA({st.x + st.leftMargin, st.y + H - shift}, 0, nullptr, text.substr(0, n),
                       std::span<const int32_t>(advances).first(n));
    dc.setTextColor(previousColor);
    st.x += w * int32_t(n);
    dc.selectObject(previousFont);
    dc.deleteObject(font);
}

} // namespace quillon
