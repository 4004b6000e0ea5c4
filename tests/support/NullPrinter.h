#pragma once
// A printer with a whole A4 sheet at 2540 dots per inch (one dot per report unit, as the PDF file
// printer's page) whose page surface draws nothing (NullContext): jobs run as they would on paper,
// without the cost of drawing. It counts the pages it was given.

#include "NullContext.h"
#include "report/ReportPrinter.h"

#include <utility>

namespace quillon::test {

class NullPrinter final : public ReportPrinter {
public:
    bool selectDefaultPrinter() override { return true; }
    std::optional<PrinterPageMetrics> pageMetrics() override
    {
        PrinterPageMetrics m;
        m.printableWidth = 21000;
        m.printableHeight = 29700;
        m.dpiX = 2540;
        m.dpiY = 2540;
        return m;
    }
    void setOrientation(PrinterOrientation) override {}
    void setDocumentTitle(const std::string&) override {}
    bool beginDoc() override { return !m_open && (m_open = true, ++m_pages, true); }
    bool endDoc() override { return std::exchange(m_open, false); }
    bool newPage() override { return m_open && (++m_pages, true); }
    bool abortDoc() override { return std::exchange(m_open, false); }
    bool printing() const override { return m_open; }
    DrawingContext* pageSurface() override { return m_open ? &m_surface : nullptr; }
    int pageCount() const { return m_pages; }

private:
    NullContext m_surface;
    bool m_open = false;
    int m_pages = 0;
};

} // namespace quillon::test
