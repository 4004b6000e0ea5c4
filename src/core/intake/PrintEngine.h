#pragma once
// The engine of the program wired together: the emulated printer, the page renderer and the report
// whose page handler it is. Every front end runs its jobs through one of these.

#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "escp/epson/EpsonRenderer.h"
#include "report/VxReport.h"

#include <functional>
#include <string>
#include <string_view>

namespace quillon {

class ByteSource;
class FileAccess;
class ReportPrinter;
class ReportProgress;
struct TSettings;

class PrintEngine {
public:
    // The collaborators outlive the engine. The report starts as the main window designs it.
    PrintEngine(const TSettings& settings, ReportPrinter& printer, FileAccess& files,
                ReportProgress& progress);
    // The settings are kept by reference: a temporary record would be gone before the first job.
    PrintEngine(const TSettings&&, ReportPrinter&, FileAccess&, ReportProgress&) = delete;
    PrintEngine(const PrintEngine&) = delete;
    PrintEngine& operator=(const PrintEngine&) = delete;

    // One job, read for the settings' emulation: resets the emulated printer, reads the job markers in header (the first bytes of
    // the stream), sets the report up for the file (title, orientation, destination by the
    // settings' Preview) and runs it, reading the pages from stream. The report's result.
    bool runJob(ByteSource& stream, std::string_view header, const std::string& title);

    TVxReport& report() { return m_report; }
    const TVxReport& report() const { return m_report; }
    TPrinterState& state() { return m_state; }
    PageRenderer& renderer() { return m_renderer; }
    epson::EpsonRenderer& epsonRenderer() { return m_epson; }
    // Where the Epson emulations tell of commands they skipped (standard error when unset).
    void setNotice(std::function<void(const std::string&)> notice) { m_epson.notice = std::move(notice); }
    ReportPrinter& printer() { return m_printer; }
    const TSettings& settings() const { return m_settings; }

private:
    const TSettings& m_settings;
    ReportPrinter& m_printer;
    TPrinterState m_state;
    PageRenderer m_renderer;
    epson::EpsonRenderer m_epson;
    PrinterEmulation m_emulation = PrinterEmulation::Simple; // of the running job
    TVxReport m_report;
};

} // namespace quillon
