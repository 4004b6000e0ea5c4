#include "intake/PrintEngine.h"

#include "intake/JobSetup.h"
#include "report/MainReportDesign.h"

namespace quillon {

PrintEngine::PrintEngine(const TSettings& settings, ReportPrinter& printer, FileAccess& files,
                         ReportProgress& progress)
    : m_settings(settings), m_printer(printer), m_renderer(m_state, settings),
      m_report(printer, files, progress)
{
    applyMainReportDesign(m_report);
    m_report.OnPaintPage = [this](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
        m_renderer.RAPPaintPage(sender, canvas, stop);
    };
}

bool PrintEngine::runJob(ByteSource& stream, std::string_view header, const std::string& title)
{
    // The stream is borrowed for this job only.
    struct Borrow {
        PageRenderer& renderer;
        ~Borrow() { renderer.JobFile = nullptr; }
    } borrow{m_renderer};
    m_renderer.JobFile = &stream;
    prepareJob(m_state, m_settings, m_printer, header, title, m_report, m_renderer);
    return m_report.Run();
}

} // namespace quillon
