#include "JobSession.h"

#include "posix/FileByteSource.h"
#include "posix/InputDescriptor.h"
#include "report/VxReport.h"

namespace quillon {

JobSession::JobSession(std::unique_ptr<ReportPrinter> printer, const TSettings& settings,
                       ReportProgress& progress, const std::string& dataDir)
    : JobSession(*printer, settings, progress, dataDir)
{
    m_owned = std::move(printer);
}

JobSession::JobSession(ReportPrinter& printer, const TSettings& settings, ReportProgress& progress,
                       const std::string& dataDir)
    : m_printer(printer), m_files(dataDir), m_engine(settings, m_printer, m_files, progress)
{
}

bool JobSession::runSpoolJob(int fd, const std::string& title)
{
    char header[16];
    const size_t got = readFullyAt(fd, header, sizeof header, 0);
    rewind(fd);
    FileByteSource source(fd);
    return m_engine.runJob(source, std::string_view(header, got), title);
}

bool JobSession::openStore(const std::string& path)
{
    report().ReportFile = path;
    return report().OpenPageStore();
}

std::string JobSession::failureText() const
{
    const TVxReport& r = report();
    std::string text = r.ErrorClassName().empty() ? r.ErrorMessage()
                                                  : r.ErrorClassName() + ": " + r.ErrorMessage();
    const std::string said = m_printer.lastError();
    if (!said.empty())
        text += "\nthe printer says: " + said;
    return text;
}

} // namespace quillon
