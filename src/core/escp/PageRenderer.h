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
    // Draws one non-empty text run at the current position and advances x.
    void DrawTextRun(std::string_view text, TVxCanvas& canvas, const TVxReport& report);

private:
    const std::u16string& faceName();

    TPrinterState& m_state;
    const TSettings& m_settings;
    std::string m_faceSource;
    std::u16string m_face;
    LogFont m_font; // the font of the last run; only its face name is kept between runs
    std::vector<int32_t> m_advances; // the advances of the last run, its memory kept for the next
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
