#include "OutputKind.h"

#include "TextUtil.h"
#include "report/ReportPrinter.h"
#include "settings/Settings.h"

#include <cstdio>

namespace quillon {

OutputKind outputKindOf(const RenderOptions& o)
{
    if (o.print)
        return OutputKind::Printer;
    if (endsWithNoCase(o.output, ".png"))
        return OutputKind::PngPages;
    if (endsWithNoCase(o.output, ".pdf"))
        return OutputKind::PdfFile;
    return OutputKind::PageStore;
}

std::string pngPageName(const std::string& output, int page)
{
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", page);
    const size_t stem = output.size() >= 4 ? output.size() - 4 : output.size();
    return output.substr(0, stem) + number + output.substr(stem);
}

TSettings jobSettings(const RenderOptions& o)
{
    TSettings settings;
    settings.FontName = o.fontName;
    settings.FontSize = o.fontSize;
    settings.PageOrient = o.orientation;
    settings.Emulation = o.emulation;
    settings.Preview = false;
    return settings;
}

std::unique_ptr<ReportPrinter> makeSheetPrinter()
{
    return std::make_unique<SheetOnlyPrinter>(21000, 29700);
}

} // namespace quillon
