#include "intake/SpoolIntake.h"

#include "escp/PageRenderer.h"
#include "intake/JobSetup.h"
#include "intake/SpoolPaths.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <vector>

namespace quillon {

bool BusyFlag = false;

namespace {

FileIdentity identityOf(const std::string& path, const SpoolEntry& e)
{
    return {path, e.device, e.inode, e.size, e.mtimeNs};
}

// Sets the busy flag and stops the timer for the length of a pass, whatever happens in it.
class PassScope {
public:
    explicit PassScope(const std::function<void(bool)>& setTimer) : m_setTimer(setTimer)
    {
        BusyFlag = true;
        if (m_setTimer)
            m_setTimer(false);
    }
    ~PassScope()
    {
        if (m_setTimer)
            m_setTimer(true);
        BusyFlag = false;
    }

private:
    const std::function<void(bool)>& m_setTimer;
};

} // namespace

SpoolIntake::SpoolIntake(const TSettings& settings, TPrinterState& state, PageRenderer& renderer,
                         TVxReport& report, ReportPrinter& printer, SpoolFileSystem& files,
                         SkipList& skip, Hooks hooks, std::string home)
    : m_settings(settings), m_state(state), m_renderer(renderer), m_report(report), m_printer(printer),
      m_files(files), m_skip(skip), m_hooks(std::move(hooks)), m_home(std::move(home))
{
}

void SpoolIntake::report(const std::string& message)
{
    if (m_hooks.problem)
        m_hooks.problem(message);
}

void SpoolIntake::TimerTimer()
{
    if (BusyFlag)
        return;
    PassScope pass(m_hooks.setTimer);
    // The list as it was when the pass began: the settings may change while a preview is open.
    const std::vector<std::string> patterns = m_settings.PeekPaths;
    m_skip.prune([this](const FileIdentity& id) {
        auto now = m_files.identityOf(id.path);
        return now && *now == id;
    });
    m_attempted.clear();
    for (const std::string& pattern : patterns) {
        const std::string directory = patternDirectory(pattern, m_home);
        const std::string mask = patternMask(pattern);
        for (;;) {
            const std::string name = FindOldestFile(directory, mask);
            if (name.empty())
                break;
            const std::string path = withTrailingSlash(directory) + name;
            m_attempted.insert(path);
            if (RunPrintJob(path) == JobOutcome::Busy)
                break; // its writer is still at work: the next tick tries again
        }
    }
    m_attempted.clear();
}

std::string SpoolIntake::FindOldestFile(const std::string& directory, const std::string& mask)
{
    const SpoolEntry* best = nullptr;
    const std::vector<SpoolEntry> entries = m_files.listMatching(directory, mask);
    const std::string folder = withTrailingSlash(directory);
    for (const SpoolEntry& e : entries) {
        const std::string path = folder + e.name;
        if (m_attempted.count(path) || m_skip.contains(identityOf(path, e)))
            continue;
        if (!best || e.mtimeNs < best->mtimeNs || (e.mtimeNs == best->mtimeNs && e.name < best->name))
            best = &e;
    }
    return best ? best->name : std::string();
}

JobOutcome SpoolIntake::RunPrintJob(const std::string& path)
{
    TakeResult taken = TakeResult::Taken;
    std::unique_ptr<SpoolFile> file = m_files.take(path, taken);
    if (taken == TakeResult::Busy)
        return JobOutcome::Busy;
    if (taken == TakeResult::Gone)
        return JobOutcome::Gone;
    if (!file) {
        if (auto id = m_files.identityOf(path))
            m_skip.add(*id);
        report("Nie można otworzyć pliku " + path + "; nie będzie drukowany.");
        return JobOutcome::Unreadable;
    }

    const FileIdentity identity = file->identity();
    m_renderer.JobFile = file.get();
    if (m_hooks.beep)
        m_hooks.beep();
    bool ok = false;
    try {
        char header[16];
        const size_t n = file->readAt(0, header, sizeof header);
        prepareJob(m_state, m_settings, m_printer, std::string_view(header, n), path, m_report, m_renderer);
        ok = m_report.Run();
    } catch (const std::exception& e) {
        ok = false;
        report("Błąd zadania " + path + ": " + e.what());
    }
    m_renderer.JobFile = nullptr;
    file.reset();

    JobOutcome outcome;
    if (ok || m_report.ErrorKind() == ReportError::UserAbort) {
        outcome = JobOutcome::Printed;
        if (!m_files.remove(path)) {
            m_skip.add(identity);
            report("Nie można usunąć pliku " + path + "; nie będzie drukowany ponownie.");
            outcome = JobOutcome::Kept;
        }
    } else if (auto kept = m_files.keepAsFailed(path)) {
        outcome = JobOutcome::Failed;
        if (auto id = m_files.identityOf(*kept))
            m_skip.add(*id); // a mask such as "*" would find it again
        report("Nie udało się wydrukować pliku " + path + " (" + m_report.ErrorClassName() + ": "
               + m_report.ErrorMessage() + "); zachowano go jako " + *kept + ".");
    } else {
        outcome = JobOutcome::Kept;
        m_skip.add(identity);
        report("Nie udało się wydrukować pliku " + path + " (" + m_report.ErrorClassName() + ": "
               + m_report.ErrorMessage() + "); nie można go przemianować, nie będzie drukowany ponownie.");
    }
    if (m_settings.Preview && m_hooks.preview)
        m_hooks.preview(m_report);
    return outcome;
}

} // namespace quillon
