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
    switch (command.code) {
    case esc::Reset:
        resetAttributes(s);
        break;
    case esc::LineSpacing6:
        s.lineSpacing = 6;
        break;
    case esc::LineSpacing12:
        s.lineSpacing = 12;
        break;
    case esc::LineSpacing8:
        s.lineSpacing = 8;
        break;
    case esc::BackSpace:
        s.x = std::max(0, s.x - s.charWidth());
        break;
    case esc::CarriageReturn:
        s.x = 0;
        break;
    case esc::LineFeed:
        s.y += s.lineAdvance();
        break;
    case esc::NewLine:
        s.x = 0;
        s.y += s.lineAdvance();
        break;
    case esc::FormFeed:
        s.x = 0;
        s.y = 0;
        break;
    case esc::DoubleWidthOn:
        s.doubleWidth = true;
        break;
    case esc::DoubleWidthOff:
        s.doubleWidth = false;
        break;
    case esc::LeftMargin:
        s.leftMargin = roundUnits(kUnitsPerInchL / s.pitch * (long double)s.scale * command.param1);
        break;
    case esc::SetPitch12:
        s.pitch = 12;
        break;
    case esc::SetPitch10:
    case esc::SetPitch10Dc2:
    case esc::SetPitch10Long:
        s.pitch = 10;
        break;
    case esc::BoldOnShadowed:
    case esc::DoubleStrikeOn:
    case esc::DoubleStrikeOnShadowed:
    case esc::EmphasizedOn:
        s.bold = true;
        break;
    case esc::BoldOffShadowed:
    case esc::DoubleStrikeOff:
    case esc::DoubleStrikeOffShadowed:
    case esc::EmphasizedOff:
        s.bold = false;
        break;
    case esc::SetPitch17:
        s.pitch = 17;
        break;
    case esc::SetPitch20:
        s.pitch = 20;
        break;
    case esc::SuperscriptOn:
        s.script = 1;
        break;
    case esc::ScriptOff:
        s.script = 0;
        break;
    case esc::SubscriptOn:
        s.script = -1;
        break;
    default:
        break;
    }
}

} // namespace quillon
