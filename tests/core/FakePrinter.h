#pragma once
// A printer for tests that records every call and can be told to refuse.

#include "report/ReportPrinter.h"
#include "RecordingContext.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon::test {

class FakePrinter : public ReportPrinter {
public:
    bool hasDefault = true;
    std::optional<PrinterPageMetrics> metrics;
    std::vector<std::string> calls;
    bool refuseBegin = false;
    std::string fullFolder; // begin fails while set: no room for the document there, for now
    bool serviceDown = false; // begin fails while set: the print service cannot be reached, for now
    int refuseBeginAt = 0; // refuse the n-th begin (1-based); 0: never
    bool refuseEnd = false;
    bool refuseNewPage = false;
    bool open = false;
    int begins = 0;
    PrinterOrientation orientation = PrinterOrientation::Portrait;
    std::string title;
    RecordingContext surface;
    struct Page {
        PrinterOrientation orientation;
        std::string title;
        size_t firstText; // index into surface.texts where this page's text starts
    };
    std::vector<Page> pages;
    std::vector<std::vector<size_t>> documents; // page indexes per document

    FakePrinter()
    {
        PrinterPageMetrics m;
        m.printableWidth = 4960; // A4 at 600 dpi less a small border
        m.printableHeight = 7015;
        m.dpiX = 600;
        m.dpiY = 600;
        metrics = m;
    }

    bool selectDefaultPrinter() override
    {
        calls.push_back("selectDefault");
        return hasDefault;
    }
    std::optional<PrinterPageMetrics> pageMetrics() override { return metrics; }
    void setOrientation(PrinterOrientation o) override
    {
        calls.push_back(o == PrinterOrientation::Landscape ? "orientation L" : "orientation P");
        orientation = o;
    }
    void setDocumentTitle(const std::string& t) override
    {
        calls.push_back("title " + t);
        title = t;
    }
    bool beginDoc() override
    {
        ++begins;
        calls.push_back("begin");
        if (refuseBegin || begins == refuseBeginAt || !fullFolder.empty() || serviceDown)
            return false;
        open = true;
        documents.emplace_back();
        startPage();
        return true;
    }
    bool endDoc() override
    {
        calls.push_back("end");
        if (!open || refuseEnd)
            return false;
        open = false;
        return true;
    }
    bool newPage() override
    {
        calls.push_back("newPage");
        if (refuseNewPage || !open)
            return false;
        startPage();
        return true;
    }
    bool abortDoc() override
    {
        calls.push_back("abort");
        open = false;
        return true;
    }
    bool printing() const override { return open; }
    bool lastErrorTransient() const override { return !fullFolder.empty() || serviceDown; }
    std::string lastErrorFullFolder() const override { return fullFolder; }
    DrawingContext* pageSurface() override { return open ? &surface : nullptr; }

private:
    void startPage()
    {
        documents.back().push_back(pages.size());
        pages.push_back({orientation, title, surface.texts.size()});
    }
};

} // namespace quillon::test
