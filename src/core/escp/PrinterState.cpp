#include "escp/PrinterState.h"

#include "Units.h"
#include "report/ReportPrinter.h"
#include "settings/Settings.h"

#include <algorithm>

namespace quillon {

namespace {

void resetAttributes(TPrinterState& s)
{
    s.script = 0;
    s.bold = false;
    s.pitch = 10;
    s.lineSpacing = 6;
    s.x = 0;
    s.y = 0;
    s.leftMargin = 0;
    s.doubleWidth = false;
}

// The simple printer's commands, grouped by what they change. Each group acts on the codes it
// knows and says whether the code was one of them; a code that no group knows (esc::None,
// esc::NoEffect) changes nothing.

// Lines per inch.
bool setLineSpacing(TPrinterState& s, esc::Code code)
{
    switch (code) {
    case esc::LineSpacing6:
        s.lineSpacing = 6;
        return true;
    case esc::LineSpacing8:
        s.lineSpacing = 8;
        return true;
    case esc::LineSpacing12:
        s.lineSpacing = 12;
        return true;
    default:
        return false;
    }
}

// The print position and the left margin.
bool moveHead(TPrinterState& s, const TEscCommand& command)
{
    switch (command.code) {
    case esc::BackSpace:
        s.x = std::max(0, s.x - s.charWidth());
        return true;
    case esc::CarriageReturn:
        s.x = 0;
        return true;
    case esc::LineFeed:
        s.y += s.lineAdvance();
        return true;
    case esc::NewLine:
        s.x = 0;
        s.y += s.lineAdvance();
        return true;
    case esc::FormFeed:
        s.x = 0;
        s.y = 0;
        return true;
    case esc::LeftMargin:
        s.leftMargin = roundUnits(kUnitsPerInchL / s.pitch * (long double)s.scale * command.param1);
        return true;
    default:
        return false;
    }
}

// Characters per inch.
bool setPitch(TPrinterState& s, esc::Code code)
{
    switch (code) {
    case esc::SetPitch10:
    case esc::SetPitch10Dc2:
    case esc::SetPitch10Long:
        s.pitch = 10;
        return true;
    case esc::SetPitch12:
        s.pitch = 12;
        return true;
    case esc::SetPitch17:
        s.pitch = 17;
        return true;
    case esc::SetPitch20:
        s.pitch = 20;
        return true;
    default:
        return false;
    }
}

// Bold (double strike and emphasized are drawn as bold), double width, super- and subscript.
bool setStyle(TPrinterState& s, esc::Code code)
{
    switch (code) {
    case esc::BoldOnShadowed:
    case esc::DoubleStrikeOn:
    case esc::DoubleStrikeOnShadowed:
    case esc::EmphasizedOn:
        s.bold = true;
        return true;
    case esc::BoldOffShadowed:
    case esc::DoubleStrikeOff:
    case esc::DoubleStrikeOffShadowed:
    case esc::EmphasizedOff:
        s.bold = false;
        return true;
    case esc::DoubleWidthOn:
        s.doubleWidth = true;
        return true;
    case esc::DoubleWidthOff:
        s.doubleWidth = false;
        return true;
    case esc::SuperscriptOn:
        s.script = 1;
        return true;
    case esc::SubscriptOn:
        s.script = -1;
        return true;
    case esc::ScriptOff:
        s.script = 0;
        return true;
    default:
        return false;
    }
}

} // namespace

int32_t TPrinterState::charWidth() const
{
    return roundUnits(kUnitsPerInchL / pitch * (long double)scale);
}

int32_t TPrinterState::lineAdvance() const
{
    return roundUnits(kUnitsPerInchL / lineSpacing * (long double)scale);
}

void ResetPrinterState(TPrinterState& state, const TSettings& settings, ReportPrinter& printer)
{
    state.buffer.clear();
    resetAttributes(state);
    state.scale = double((long double)settings.FontSize / 12.0L);

    if (!printer.selectDefaultPrinter())
        return;
    auto m = printer.pageMetrics();
    if (!m || m->dpiX <= 0 || m->dpiY <= 0 || m->printableWidth <= 0 || m->printableHeight <= 0)
        return;
    if (m->orientation == PrinterOrientation::Portrait) {
        state.pageWidth = PixelsToUnits(m->printableWidth, m->dpiX);
        state.pageHeight = PixelsToUnits(m->printableHeight, m->dpiY);
    } else {
        state.pageWidth = PixelsToUnits(m->printableHeight, m->dpiY);
        state.pageHeight = PixelsToUnits(m->printableWidth, m->dpiX);
    }
}

void ExecuteCommand(TPrinterState& s, const TEscCommand& command)
{
    if (command.code == esc::Reset)
        resetAttributes(s);
    else if (!setLineSpacing(s, command.code) && !moveHead(s, command) && !setPitch(s, command.code))
        setStyle(s, command.code);
}

} // namespace quillon
