#pragma once
// The page handler of the report: fills one page after another from the spool file of the job,
// drawing the text runs with a fixed-pitch OEM font stretched to the emulated pitch.

#include "escp/PrinterState.h"
#include "gdi/DrawingContext.h"
#include "report/ReportErrors.h"

#include <cstdint>
#include <memory>
#include <span>
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
    // The advance of a character in the current pitch, scale and width; the same as the
    // character width of the printer state, doubled for double width.
    int32_t advance();
    // n advances of advance() each.
    std::span<const int32_t> advances(size_t n);

    TPrinterState& m_state;
    const TSettings& m_settings;
    std::string m_faceSource;
    std::u16string m_face;
    LogFont m_font; // the font of the last run; only its face name is kept between runs
    int32_t m_cellHeight = 0;   // of JobFontSize in report units
    int32_t m_scriptHeight = 0; // of super- and subscript: 0.6 of the cell height
    // Advances of the last runs: the first m_advancesFilled of them are m_advance, so a run of
    // the same advance as the one before only fills what that one did not reach.
    std::vector<int32_t> m_advances;
    size_t m_advancesFilled = 0;
    // The advance of the last run and what it was worked out from.
    struct AdvanceKey {
        int32_t pitch = 0;
        double scale = 0;
        bool doubleWidth = false;
        bool operator==(const AdvanceKey&) const = default;
    } m_advanceKey;
    int32_t m_advance = 0;
    std::unique_ptr<char[]> m_chunk;
};

// The advance of one character: round(2540 / pitch × scale), doubled for double width.
int32_t AdvanceWidth(int32_t pitch, double scale, bool doubleWidth);
// count + 1 advances of AdvanceWidth() each.
std::unique_ptr<int32_t[]> MakeAdvanceArray(size_t count, int32_t pitch, double scale,
                                            bool doubleWidth);

} // namespace quillon
