#pragma once
// Printers that paint their pages into PDF documents: one that keeps every document in one PDF
// file, and the CUPS printer, which hands each finished document to CUPS as a print job.

#include "gdi/CodePage.h"
#include "report/ReportPrinter.h"

#include "CupsQueue.h"
#include "posix/AtomicFile.h"

#include <QPageLayout>
#include <QString>

#include <future>
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
    // A title that is not valid UTF-8 (a spool file's name in a DOS code page) is read in the
    // printer's code page: CUPS and its clients need UTF-8.
    void setDocumentTitle(const std::string& title) override;
    bool beginDoc() override;
    bool endDoc() override;
    bool newPage() override;
    bool abortDoc() override;
    bool printing() const override { return m_open; }
    DrawingContext* pageSurface() override;
    std::optional<PrinterPageMetrics> pageMetrics() override;
    std::string lastError() const override { return m_error; }
    bool lastErrorTransient() const override { return m_transient; }
    std::string lastErrorFullFolder() const override { return m_fullFolder; }

    // Pages painted into the documents so far.
    int pageCount() const { return m_pages; }

protected:
    PdfPrinter(DosCodePage codePage, int dpi);

    // The sheet with its unprintable borders, in portrait; the printer's own layout.
    void setBaseLayout(const QPageLayout& layout) { m_baseLayout = layout; }
    QPageLayout currentLayout() const;
    // The file the next document's PDF goes into, open for writing; -1 with m_error set when
    // there is none. It stays the subclass's.
    virtual int documentFile() = 0;
    // A document is complete in fd, size bytes: deliver it. False, with m_error set, when that fails.
    virtual bool deliver(int fd, int64_t size) = 0;
    // The document's file is done with (delivered or not).
    virtual void documentClosed() {}
    // Keep all documents in one PDF: a new document continues the same file on a new page.
    virtual bool oneFile() const { return false; }
    // Finishes the PDF that is still open (one-file printers keep it open between documents);
    // false, with m_error set, when the PDF could not be written whole.
    bool closeWriter();

    DosCodePage codePage() const { return m_codePage; }
    // A full disk in folder stops the document for now: the failure is transient.
    void noteFullDisk(int error, const std::string& folder);

    std::string m_title;
    std::string m_error;
    bool m_transient = false;
    std::string m_fullFolder;
    std::string m_docFolder; // where documentFile() puts the documents, when a full disk there may pass

private:
    bool startWriter();

    DosCodePage m_codePage;
    int m_dpi;
    QPageLayout m_baseLayout;
    PrinterOrientation m_orientation = PrinterOrientation::Portrait;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<PainterDevice> m_device;
    // Every write of the PDF is checked, so nothing cut off ever leaves the program.
    std::unique_ptr<class DescriptorDevice> m_sink;
    // Between the PDF writer and m_sink: dot pictures become stencil masks.
    std::unique_ptr<class PdfStencilFilter> m_stencils;
    int m_docFd = -1;
    bool m_open = false;
    int m_pages = 0;
};

// Every document into one PDF file; the whole sheet is printable.
class PdfFilePrinter final : public PdfPrinter {
public:
    PdfFilePrinter(const std::string& path, DosCodePage codePage);
    ~PdfFilePrinter() override;

    bool selectDefaultPrinter() override { return true; }
    // The finished file's permissions; without it, those the umask gives a new file.
    void setFileMode(mode_t mode) { m_file.setMode(mode); }
    // Completes the file (written beside its name and renamed when whole); false, with
    // lastError(), when it could not be written.
    bool finish();

protected:
    int documentFile() override;
    bool deliver(int, int64_t) override { return true; }
    bool oneFile() const override { return true; }

private:
    AtomicFileWriter m_file;
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
    // The jobs are handed to CUPS on behalf of user (empty: this process's user), titled title
    // (empty: the document's title), with copies copies: a print server passes its clients' jobs on.
    void setJobOwner(const std::string& user, const std::string& title, int copies);
    // Why CUPS refused the last document (an IPP status code, 0 when it was accepted).
    int lastRefusal() const { return m_refusal; }
    std::string printerName() const override { return m_name; }
    bool choosePrinter(const std::string& name) override;
    // Notes each job in folder while its document goes up to CUPS (see CupsUploadJournal.h);
    // empty (the default): no notes.
    void setUploadJournal(const std::string& folder) { m_uploadJournal = folder; }
    // CUPS job ids of the documents delivered.
    const std::vector<int>& jobs() const { return m_jobs; }
    // Whether each document's job is made in the queue as the document starts, while its pages
    // are drawn, rather than once it is whole: the scheduler's work on the job then overlaps the
    // drawing. A document that does not come to its end cancels its job. Off by default.
    void setCreateJobEarly(bool early) { m_createEarly = early; }
    // Whether each document is kept in memory on its way to CUPS rather than in a file in the
    // temporary folder: a print server's jobs are small and many. Off by default.
    void setDocumentInMemory(bool inMemory) { m_inMemory = inMemory; }
    // The queue as the caller has opened it already (openCupsQueue of this printer's name): the
    // next selectDefaultPrinter takes it instead of asking CUPS again.
    void useOpenedQueue(CupsQueue queue) { m_opened = std::move(queue); }

protected:
    int documentFile() override;
    bool deliver(int fd, int64_t size) override;
    void documentClosed() override;

private:
    // A job made in a queue, or why not.
    struct CreatedJob {
        int id = 0;
        int status = 0; // the IPP status
        std::string error;
    };
    static CreatedJob createJob(const std::string& queue, const std::string& title, const std::string& user,
                                const std::vector<std::pair<std::string, std::string>>& options);
    std::vector<std::pair<std::string, std::string>> jobOptions() const;
    const std::string& jobTitle() const;
    void createJobEarly();
    void cancelEarlyJob();

    std::string m_requested;
    std::string m_name;
    std::string m_user;
    std::vector<int> m_jobs;
    std::string m_jobTitle;
    std::string m_uploadJournal;
    // The queue's own options, read when it was chosen: every job of the run carries them.
    std::vector<std::pair<std::string, std::string>> m_queueOptions;
    std::optional<CupsQueue> m_opened;
    int m_copies = 1;
    int m_refusal = 0;
    int m_docFile = -1; // a nameless file: nothing is left behind whatever ends the program
    bool m_createEarly = false;
    bool m_inMemory = false;
    std::future<CreatedJob> m_earlyJob; // the job being made for the open document
};

} // namespace quillon
