#pragma once
// The current printer as the report engine and the emulated printer see it. The platform provides
// the real one (a CUPS printer); tests provide fakes.

#include "Units.h"
#include "gdi/DrawingContext.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

enum class PrinterOrientation { Portrait, Landscape };

struct PrinterPageMetrics {
    PrinterOrientation orientation = PrinterOrientation::Portrait;
    int32_t printableWidth = 0;  // device pixels, in the printer's current orientation
    int32_t printableHeight = 0; // device pixels
    int32_t dpiX = 0;
    int32_t dpiY = 0;
    int32_t offsetX = 0; // physical offset of the printable area, device pixels
    int32_t offsetY = 0;
};

class ReportPrinter {
public:
    virtual ~ReportPrinter() = default;

    // Makes the system's default printer current. False when there is none.
    virtual bool selectDefaultPrinter() = 0;
    // The current printer's page; nothing when it cannot report it.
    virtual std::optional<PrinterPageMetrics> pageMetrics() = 0;

    // Documents. Orientation is set only outside a document. Begin, end, new page and abort
    // report success instead of failing.
    virtual void setOrientation(PrinterOrientation orientation) = 0;
    virtual void setDocumentTitle(const std::string& title) = 0;
    virtual bool beginDoc() = 0;
    virtual bool endDoc() = 0;
    virtual bool newPage() = 0;
    virtual bool abortDoc() = 0;
    virtual bool printing() const = 0;
    // The drawing surface of the current page; only valid inside a document.
    virtual DrawingContext* pageSurface() = 0;
    // The printer's own words for the last failure, if it gave any.
    virtual std::string lastError() const { return {}; }
    // True when the last failure may pass by itself (the print service could not be reached):
    // the same job may succeed later. False for a job the printer refused.
    virtual bool lastErrorTransient() const { return false; }
    // The folder whose disk was full when the last failure came (the print document could not be
    // written there); such a failure is transient. Empty for any other failure.
    virtual std::string lastErrorFullFolder() const { return {}; }

    // The current printer's name as the user knows it; empty when there is none.
    virtual std::string printerName() const { return {}; }
    // Makes the named printer the current one, for this and every later document. False when
    // there is no such printer; the current one stays then.
    virtual bool choosePrinter(const std::string&) { return false; }
};

// A printer that only knows its page: a whole sheet of the given size in report units, printable
// to its edges. Used where the printable area is fixed (rendering to files); it cannot print.
class SheetOnlyPrinter final : public ReportPrinter {
public:
    SheetOnlyPrinter(int32_t width, int32_t height) : m_width(width), m_height(height) {}

    bool selectDefaultPrinter() override { return true; }
    std::optional<PrinterPageMetrics> pageMetrics() override
    {
        PrinterPageMetrics m;
        m.printableWidth = m_width;
        m.printableHeight = m_height;
        m.dpiX = kUnitsPerInch; // one pixel per report unit
        m.dpiY = kUnitsPerInch;
        return m;
    }
    void setOrientation(PrinterOrientation) override {}
    void setDocumentTitle(const std::string&) override {}
    bool beginDoc() override { return false; }
    bool endDoc() override { return false; }
    bool newPage() override { return false; }
    bool abortDoc() override { return false; }
    bool printing() const override { return false; }
    DrawingContext* pageSurface() override { return nullptr; }

private:
    int32_t m_width;
    int32_t m_height;
};

} // namespace quillon
