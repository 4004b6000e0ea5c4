#pragma once
// Printers that paint their pages into PDF documents: one that keeps every document in one PDF
// file, and the CUPS printer, which hands each finished document to CUPS as a print job.

#include "gdi/CodePage.h"
#include "report/ReportPrinter.h"

#include <QPageLayout>
#include <QString>

#include <memory>
#include <string>

class QPainter;
class QPdfWriter;

namespace quillon {

class PainterDevice;

class PdfPrinter : public ReportPrinter {
public:
    ~PdfPrinter() override;

    void setOrientation(PrinterOrientation orientation) override;
    void setDocumentTitle(const std::string& title) override { m_title = title; }
    bool beginDoc() override;
    bool endDoc() override;
    bool newPage() override;
    bool abortDoc() override;
    bool printing() const override { return m_open; }
    DrawingContext* pageSurface() override;
    std::optional<PrinterPageMetrics> pageMetrics() override;
    std::string lastError() const override { return m_error; }

    // Pages painted into the documents so far.
    int pageCount() const { return m_pages; }

protected:
    PdfPrinter(DosCodePage codePage, int dpi);

    // The sheet with its unprintable borders, in portrait; the printer's own layout.
    void setBaseLayout(const QPageLayout& layout) { m_baseLayout = layout; }
    QPageLayout currentLayout() const;
    // Where the PDF of the next document goes.
    virtual QString documentPath() = 0;
    // A document has been written to path: deliver it. False, with m_error set, when that fails.
    virtual bool deliver(const QString& path) = 0;
    // Keep all documents in one PDF: a new document continues the same file on a new page.
    virtual bool oneFile() const { return false; }
    // Finishes the PDF that is still open (one-file printers keep it open between documents).
    bool closeWriter();

    std::string m_title;
    std::string m_error;

private:
    bool startWriter();

    DosCodePage m_codePage;
    int m_dpi;
    QPageLayout m_baseLayout;
    PrinterOrientation m_orientation = PrinterOrientation::Portrait;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<PainterDevice> m_device;
    QString m_path;
    bool m_open = false;
    int m_pages = 0;
};

// Every document into one PDF file; the whole sheet is printable.
class PdfFilePrinter final : public PdfPrinter {
public:
    PdfFilePrinter(const std::string& path, DosCodePage codePage);
    ~PdfFilePrinter() override;

    bool selectDefaultPrinter() override { return true; }
    // Completes the file; false when it could not be written.
    bool finish();

protected:
    QString documentPath() override { return m_file; }
    bool deliver(const QString&) override { return true; }
    bool oneFile() const override { return true; }

private:
    QString m_file;
};

// A CUPS queue: the default one, or one by name. Each document is a PDF handed to CUPS with
// libcups when it ends, with the queue's own options, so a job CUPS refuses is seen as a failure.
class CupsPrinter final : public PdfPrinter {
public:
    // name: the queue; empty for the system's default printer.
    CupsPrinter(const std::string& name, DosCodePage codePage);
    ~CupsPrinter() override;

    bool selectDefaultPrinter() override;
    const std::string& name() const { return m_name; }
    std::string printerName() const override { return m_name; }
    bool choosePrinter(const std::string& name) override;
    // CUPS job ids of the documents delivered.
    const std::vector<int>& jobs() const { return m_jobs; }

protected:
    QString documentPath() override;
    bool deliver(const QString& path) override;

private:
    std::string m_requested;
    std::string m_name;
    std::vector<int> m_jobs;
    QString m_tempDir;
};

} // namespace quillon
