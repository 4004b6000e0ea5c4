#include "intake/PrintEngine.h"

#include "intake/JobSetup.h"
#include "report/MainReportDesign.h"
#include "settings/Settings.h"

#include <iostream>

namespace quillon {

PrintEngine::PrintEngine(const TSettings& settings, ReportPrinter& printer, FileAccess& files,
                         ReportProgress& progress)
    : m_settings(settings), m_printer(printer), m_renderer(m_state, settings),
      m_epson(m_state, settings), m_report(printer, files, progress)
{
    applyMainReportDesign(m_report);
    m_report.OnPaintPage = [this](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
        if (m_emulation == PrinterEmulation::Simple)
            m_renderer.RAPPaintPage(sender, canvas, stop);
        else
            m_epson.RAPPaintPage(sender, canvas, stop);
    };
    m_epson.notice = [](const std::string& text) { std::cerr << "quillon: " << text << '\n'; };
}

bool PrintEngine::runJob(ByteSource& stream, std::string_view header, const std::string& title)
{
    // The stream is borrowed for this job only.
    struct Borrow {
        PageRenderer& renderer;
        epson::EpsonRenderer& epson;
        ~Borrow()
        {
            renderer.JobFile = nullptr;
            epson.JobFile = nullptr;
        }
    } borrow{m_renderer, m_epson};
    m_renderer.JobFile = &stream;
    prepareJob(m_state, m_settings, m_printer, header, title, m_report, m_renderer);
    m_emulation = m_settings.Emulation;
    if (m_emulation != PrinterEmulation::Simple) {
        m_epson.JobFile = &stream;
        m_epson.JobFontSize = m_renderer.JobFontSize;
        m_epson.startJob(m_emulation);
    }
    return m_report.Run();
}

} // namespace quillon
