#pragma once
// What a front end runs, wired here and nowhere else: the watcher service with its printer, a
// preview's page store (a spool file rendered into a temporary store, or a store as it is), a
// render job (renderFile, RenderFile.h) and the print job of the CUPS backend. The tray program,
// quillon-render, the backend and the benchmarks call these; none of them builds a printer, an
// engine or a session itself.

#include "JobResult.h"
#include "JobSession.h"
#include "RenderFile.h"
#include "RenderOptions.h"
#include "WatcherService.h"
#include "intake/SpoolIntake.h"
#include "settings/Settings.h"

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace quillon {

class CupsPrinter;
class PdfFilePrinter;
class ReportProgress;

// The CUPS queue name (empty: the default printer), its job titles read in codePage. Jobs going up
// to CUPS are noted in the data folder dataDir; the jobs of an earlier run that ended during their
// upload are cancelled now, rather than left empty on hold in the queue.
std::unique_ptr<CupsPrinter> makeCupsPrinter(const std::string& name, DosCodePage codePage, const std::string& dataDir);

// The watcher service printing every job on the system's default CUPS printer (its titles read
// in the DOS code page 852). settings and progress outlive it.
std::unique_ptr<WatcherService> makeWatcher(const TSettings& settings, ReportProgress& progress,
                                            SpoolIntake::Hooks hooks);

// The pages of a spool file or a page store, opened for the preview window. A spool file is
// rendered first into a temporary page store with the options' font, size, orientation and code
// page; the store goes with the object. The print command prints on options.printerName, or on
// the default printer.
class StorePreview {
public:
    // progress outlives the object.
    explicit StorePreview(ReportProgress& progress) : m_progress(progress) {}

    // Fails with the reason when the pages cannot be shown.
    JobResult open(const RenderOptions& options);
    // After a successful open: the report over the store, its title the input's file name.
    TVxReport& report() { return m_session->report(); }

private:
    ReportProgress& m_progress;
    TSettings m_settings;
    std::unique_ptr<QTemporaryDir> m_temp; // removed after the session has let go of its store
    std::unique_ptr<JobSession> m_session;
};

// One job printed with the font, size, orientation and emulation of a render's options, on the
// CUPS queue they name or into a PDF file; the program's files of the job in dataDir, a folder of
// the job's own. So no notes of uploads are kept: no later run could ever read them there.
class PrintJob {
public:
    PrintJob(const RenderOptions& options, ReportProgress& progress, const std::string& dataDir,
             const std::string& pdfPath = {});

    JobSession& session() { return *m_session; }
    // The printer, for what only it knows: its CUPS jobs, or the PDF file's permissions.
    CupsPrinter* queue() const { return m_queue; }
    PdfFilePrinter* pdfFile() const { return m_pdfFile; }

private:
    TSettings m_settings;
    CupsPrinter* m_queue = nullptr;
    PdfFilePrinter* m_pdfFile = nullptr;
    std::unique_ptr<JobSession> m_session;
};

} // namespace quillon
