#pragma once
// The page handler of the report: fills one page after another from the spool file of the job,
// drawing the text runs with a fixed-pitch OEM font stretched to the emulated pitch.

#include "escp/PrinterState.h"
#include "gdi/DrawingContext.h"
#include "report/ReportErrors.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class ByteSource;
class TVxCanvas;
class TVxReport;
struct TSettings;

constexpr size_t kMaxTextRun = 1024;
constexpr size_t kReadChunk = 4000;
constexpr size_t kRefillBelow = 6; // a new chunk is read when the buffer holds this many or fewer
constexpr int32_t kBottomReserve = 400;

// A page whose bottom lies at or above its top would never take a byte of the stream.
class EPageTooSmall : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EPageTooSmall"; }
};

class PageRenderer {
public:
    // state and settings are the process-wide records; they outlive the renderer.
    PageRenderer(TPrinterState& state, const TSettings& settings);

    // The running job: its open spool file (borrowed for the job) and its font size in points.
    ByteSource* JobFile = nullptr;
    int JobFontSize = 12;

    // The OnPaintPage handler.
    void RAPPaintPage(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt);

private:
    // Draws one non-empty text run at the current position and advances x.
    void DrawTextRun(std::string_view text, TVxCanvas& canvas, const TVxReport& report);
    // Takes what the runs of a page share from the settings and the job, once a page: the face
    // name (into the font, when it has changed) and the cell heights of the job's font size.
    void takeJobFont();
    // kMaxTextRun advances of a character in the current pitch, scale and width, each the
    // character width of the printer state, doubled for double width.
    const std::vector<int32_t>& advanceRow();

    TPrinterState& m_state;
    const TSettings& m_settings;
    std::string m_faceSource;
    std::u16string m_face;
    LogFont m_font; // the font of the last run; only its face name is kept between runs
    int32_t m_cellHeight = 0;   // of JobFontSize in report units
    int32_t m_scriptHeight = 0; // of super- and subscript: 0.6 of the cell height
    // A row of advances for each pitch, scale and width met lately; a run takes the first of its
    // row. A job of the simple printer meets at most 4 pitches × 2 widths; beyond kAdvanceRows
    // rows, they are made again.
    struct AdvanceKey {
        int32_t pitch = 0;
        double scale = 0;
        bool doubleWidth = false;
        bool operator==(const AdvanceKey&) const = default;
    };
    struct AdvanceRow {
        AdvanceKey key;
        std::vector<int32_t> advances;
    };
    static constexpr size_t kAdvanceRows = 8;
    std::vector<AdvanceRow> m_advanceRows;
    size_t m_lastRow = 0;
    std::unique_ptr<char[]> m_chunk;
};

// The advance of one character: round(2540 / pitch × scale), doubled for double width.
int32_t AdvanceWidth(int32_t pitch, double scale, bool doubleWidth);
// count + 1 advances of AdvanceWidth() each.
std::unique_ptr<int32_t[]> MakeAdvanceArray(size_t count, int32_t pitch, double scale,
                                            bool doubleWidth);

} // namespace quillon
