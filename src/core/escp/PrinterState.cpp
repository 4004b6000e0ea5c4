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

int32_t pixelsToUnits(int32_t pixels, int32_t dpi)
{
    return roundUnits((long double)pixels / (long double)dpi * 2540.0L);
}

} // namespace

int32_t TPrinterState::charWidth() const
{
    return roundUnits(2540.0L / pitch * (long double)scale);
}

int32_t TPrinterState::lineAdvance() const
{
    return roundUnits(2540.0L / lineSpacing * (long double)scale);
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
        state.pageWidth = pixelsToUnits(m->printableWidth, m->dpiX);
        state.pageHeight = pixelsToUnits(m->printableHeight, m->dpiY);
    } else {
        state.pageWidth = pixelsToUnits(m->printableHeight, m->dpiY);
        state.pageHeight = pixelsToUnits(m->printableWidth, m->dpiX);
    }
}

void ExecuteCommand(TPrinterState& s, const TEscCommand& command)
{
    switch (command.code) {
    case 2:
        resetAttributes(s);
        break;
    case 3:
        s.lineSpacing = 6;
        break;
    case 4:
        s.lineSpacing = 12;
        break;
    case 5:
        s.lineSpacing = 8;
        break;
    case 6:
        s.x = std::max(0, s.x - s.charWidth());
        break;
    case 7:
        s.x = 0;
        break;
    case 8:
        s.y += s.lineAdvance();
        break;
    case 9:
        s.x = 0;
        s.y += s.lineAdvance();
        break;
    case 10:
        s.x = 0;
        s.y = 0;
        break;
    case 11:
        s.doubleWidth = true;
        break;
    case 12:
        s.doubleWidth = false;
        break;
    case 13:
        s.leftMargin = roundUnits(2540.0L / s.pitch * (long double)s.scale * command.param1);
        break;
    case 14:
        s.pitch = 12;
        break;
    case 15:
    case 19:
    case 23:
        s.pitch = 10;
        break;
    case 16:
    case 20:
    case 24:
    case 29:
        s.bold = true;
        break;
    case 17:
    case 21:
    case 25:
    case 30:
        s.bold = false;
        break;
    case 18:
        s.pitch = 17;
        break;
    case 22:
        s.pitch = 20;
        break;
    case 26:
        s.script = 1;
        break;
    case 27:
        s.script = 0;
        break;
    case 28:
        s.script = -1;
        break;
    default:
        break;
    }
}

} // namespace quillon
