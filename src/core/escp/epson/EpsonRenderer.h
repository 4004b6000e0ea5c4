#pragma once
// The page handler of the Epson emulations: reads the spool file as an Epson 9-pin (FX) or
// 24-pin (LQ) printer would and draws its text and bit-image graphics page by page. It shares the
// simple printer's state record (page size, job scale, the stream bytes not yet consumed) and the
// report with the simple page renderer; the rest of the printer lives in EpsonState.

#include "escp/PrinterState.h"
#include "escp/epson/DotStrip.h"
#include "escp/epson/EpsonState.h"
#include "gdi/DrawingContext.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace quillon {

class ByteSource;
class TVxCanvas;
class TVxReport;
struct TSettings;

namespace epson {

class EpsonRenderer {
public:
    // state and settings are the process-wide records; they outlive the renderer.
    EpsonRenderer(TPrinterState& state, const TSettings& settings);
    ~EpsonRenderer();

    ByteSource* JobFile = nullptr;
    int JobFontSize = 12;
    // Told once a job of each command the printer does not know (the stream goes on without it).
    std::function<void(const std::string&)> notice;

    // The printer at power-on, for a new job of the given emulation (Fx or Lq).
    void startJob(PrinterEmulation emulation);
    // The OnPaintPage handler.
    void RAPPaintPage(TVxReport& Sender, TVxCanvas& Canv, bool& StopIt);

    const EpsonState& printer() const { return m_p; }

private:
    // What a token does to the page. A form feed only marks the sheet as ended: the next sheet
    // begins when something is printed on it, so feeds at the end of a job waste no paper.
    enum class Flow {
        Go,
        EndPage,        // the token was taken and the page ends; another follows (a blank sheet)
        BreakBefore,    // the form runs past the sheet: the token goes on top of a new sheet
        NewSheetBefore, // a form feed came before: the token goes on the next sheet
    };
    struct Step {
        size_t consumed;
        Flow flow;
    };

    // The page being filled.
    struct Sheet {
        DrawingContext* dc = nullptr;
        int32_t widthUnits = 0;  // printable width from the canvas's left edge
        int32_t heightUnits = 0; // printable height from the canvas's top
        int64_t width = 0;       // the same in grid steps
        int64_t height = 0;
    };

    Step execute(const epson::Token& token, std::string_view bytes);
    Step control(uint8_t code);
    Step escape(const epson::Token& token);
    std::optional<Step> spacingCommand(const epson::Token& token);
    std::optional<Step> positionCommand(const epson::Token& token);
    std::optional<Step> pitchCommand(const epson::Token& token);
    std::optional<Step> styleCommand(const epson::Token& token);
    std::optional<Step> pageCommand(const epson::Token& token);
    std::optional<Step> graphicsCommand(const epson::Token& token);
    Step extended(uint8_t code, std::string_view data);
    Step text(std::string_view bytes, bool controlsAsText);

    // Vertical motion: LF and the like (Flow::EndPage when the form ends), and the form feed.
    Flow feed(int64_t distance);
    Flow formFeed();
    void reverseFeed(int64_t distance);
    void lineEnd(); // what ends a line: one-line double width
    bool fits(int32_t heightUnits) const;
    // Before anything is drawn: Go, or the flow that puts it on another sheet.
    Flow placeOnSheet(int32_t heightUnits) const;
    void breakSheet();

    // Graphics.
    Step bitImage(const BitImageMode& mode, int32_t columns, std::string_view data);
    Step raster(std::string_view params, std::string_view data);
    Step band(DotBand band, const std::vector<uint8_t>& rows);

    // Text.
    void drawSegment(std::string_view bytes, std::u16string_view wide, bool italic, int64_t x0,
                     int64_t advance);
    int32_t cellHeight() const; // the font cell of normal text, report units

    // Grid steps to report units, with the job's scale.
    int32_t units(int64_t grid) const;
    int64_t grid(int32_t units) const;
    int64_t rightEdge() const;
    int64_t pageUnit() const; // ESC ( commands: the defined unit or 1/360 inch
    void resetPrinter();
    void setTable(CharTable table);
    void unknown(const std::string& what);

    TPrinterState& m_state;
    const TSettings& m_settings;
    const EpsonModel* m_model;
    EpsonState m_p;
    Sheet m_sheet;
    DotStrip m_strip;
    bool m_upperPrintable = false; // ESC 6
    uint64_t m_offset = 0;         // of the buffer's front in the stream
    bool m_needMore = false;
    bool m_sheetEnded = false; // a form feed ended the sheet; nothing printed since
    std::set<std::string> m_reported;
    std::u16string m_face;
    std::unique_ptr<char[]> m_chunk;
};

} // namespace epson
} // namespace quillon
