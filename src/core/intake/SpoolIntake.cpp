#include "intake/SpoolIntake.h"

#include "intake/DocumentKind.h"
#include "intake/PrintEngine.h"
#include "intake/SpoolPaths.h"
#include "TextUtil.h"
#include "report/ReportPrinter.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace quillon {

bool BusyFlag = false;

namespace {

// The longest pause between two tries while the print service cannot be reached.
constexpr int64_t kMaxRetryPauseMs = 5 * 60 * 1000;
// The longest pause while a full disk keeps the print documents from being written: space comes
// back when the user frees it, and printing should resume soon after.
constexpr int64_t kMaxSpacePauseMs = 30 * 1000;

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

SpoolIntake::SpoolIntake(PrintEngine& engine, SpoolFileSystem& files, SkipList& skip, Hooks hooks,
                         std::string home)
    : m_engine(engine), m_files(files), m_skip(skip), m_hooks(std::move(hooks)), m_home(std::move(home))
{
}

void SpoolIntake::report(const std::string& message)
{
    if (m_hooks.problem)
        m_hooks.problem(message);
}

int64_t SpoolIntake::now() const
{
    if (m_hooks.nowMs)
        return m_hooks.nowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SpoolIntake::TimerTimer()
{
    if (BusyFlag)
        return;
    // While the print service cannot be reached, or there is no room for the print documents,
    // the files wait where they are.
    if (m_hold != Hold::None && now() < m_retryAtMs)
        return;
    PassScope pass(m_hooks.setTimer);
    // The list as it was when the pass began: the settings may change while a preview is open.
    const std::vector<std::string> patterns = m_engine.settings().PeekPaths;
    m_skip.prune([this](const FileIdentity& id) {
        auto now = m_files.identityOf(id.path);
        return now && *now == id;
    });
    m_attempted.clear();
    for (const std::string& pattern : patterns) {
        if (!isAbsolutePattern(pattern)) {
            // Said once, not at every tick.
            if (m_passedOver.insert(pattern).second)
                report(relativePatternMessage(pattern));
            continue;
        }
        const std::string directory = patternDirectory(pattern, m_home);
        const std::string mask = patternMask(pattern);
        // First the files whose jobs were left unfinished, then the new ones.
        for (auto& file : m_files.reclaim(directory, mask)) {
            if (m_skip.contains(file->identity()))
                continue;
            m_attempted.insert(file->identity().path);
            if (runTaken(std::move(file)) == JobOutcome::Waiting)
                return;
        }
        for (;;) {
            const std::string name = FindOldestFile(directory, mask);
            if (name.empty())
                break;
            const std::string path = withTrailingSlash(directory) + name;
            m_attempted.insert(path);
            const JobOutcome outcome = RunPrintJob(path);
            if (outcome == JobOutcome::Waiting)
                return;
            if (outcome == JobOutcome::Busy || outcome == JobOutcome::NoSpace)
                break; // its writer is still at work, or its disk full: the next tick tries again
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
    const std::string folder = folderOfPath(path);
    if (taken == TakeResult::NoSpace) {
        // It waits where it is; the user hears of it once.
        if (m_fullFolders.insert(folder).second)
            report("Brak miejsca na dysku w folderze " + folder + ": nie można przejąć pliku " + path
                   + ". Pliki czekają na miejscu; drukowanie wznowi się, gdy zwolni się miejsce.");
        return JobOutcome::NoSpace;
    }
    if (taken == TakeResult::Busy)
        return JobOutcome::Busy;
    if (taken == TakeResult::Taken && m_fullFolders.erase(folder))
        report("W folderze " + folder + " jest znowu miejsce; wydruki są wznowione.");
    if (taken == TakeResult::Gone)
        return JobOutcome::Gone;
    if (!file) {
        if (auto id = m_files.identityOf(path))
            m_skip.add(*id);
        report("Nie można otworzyć pliku " + path + "; nie będzie drukowany.");
        return JobOutcome::Unreadable;
    }
    return runTaken(std::move(file));
}

JobOutcome SpoolIntake::keepAsFailed(SpoolFile& file, const std::string& why, const std::string& more)
{
    if (auto kept = m_files.keepAsFailed(file)) {
        if (auto id = m_files.identityOf(*kept))
            m_skip.add(*id); // a mask such as "*" would find it again
        report(why + "; zachowano go jako " + *kept + "." + more);
        return JobOutcome::Failed;
    }
    m_files.release(file);
    m_skip.add(file.identity());
    report(why + "; nie można go przemianować, nie będzie drukowany ponownie." + more);
    return JobOutcome::Kept;
}

JobOutcome SpoolIntake::removeUnprinted(SpoolFile& file, DocumentKind kind)
{
    const std::string& path = file.identity().path;
    if (kind != DocumentKind::Empty)
        return keepAsFailed(file, notPrintableText(path, kind), {});
    if (m_files.remove(file)) {
        if (m_hooks.note)
            m_hooks.note(notPrintableText(path, kind) + "; usunięto go bez drukowania.");
        return JobOutcome::Empty;
    }
    m_files.release(file);
    m_skip.add(file.identity());
    report(notPrintableText(path, kind) + "; nie można go usunąć, nie będzie brany ponownie.");
    return JobOutcome::Kept;
}

JobOutcome SpoolIntake::holdForRetry(SpoolFile& file, const std::string& printerSays)
{
    const std::string path = file.identity().path;
    ReportPrinter& printer = m_engine.printer();
    m_files.release(file);
    const std::string fullFolder = printer.lastErrorFullFolder();
    const Hold hold = fullFolder.empty() ? Hold::ServiceDown : Hold::NoSpace;
    // The first pause is one polling interval (a second at least); each further one doubles, up
    // to the hold's longest.
    const int64_t base = int64_t(m_engine.settings().PollingFreq) * 1000;
    const int64_t longest = hold == Hold::NoSpace ? kMaxSpacePauseMs : kMaxRetryPauseMs;
    m_pauseMs = m_hold == hold ? std::min<int64_t>(m_pauseMs * 2, longest) : std::max<int64_t>(base, 1000);
    m_retryAtMs = now() + m_pauseMs;
    if (m_hold != hold && hold == Hold::NoSpace)
        report("Brak miejsca na dysku w folderze " + fullFolder + " na dokument do druku; plik " + path
               + " czeka na wydruk, drukowanie wznowi się, gdy zwolni się miejsce.");
    else if (m_hold != hold)
        report("Nie można połączyć się z usługą drukowania, plik " + path
               + " czeka na wydruk; kolejne próby co pewien czas." + printerSays);
    m_hold = hold;
    return JobOutcome::Waiting;
}

void SpoolIntake::endHold()
{
    if (m_hold == Hold::None)
        return;
    report(m_hold == Hold::NoSpace ? "Na dysku jest znowu miejsce na dokumenty do druku; wydruki są wznowione."
                                   : "Usługa drukowania znów działa; wydruki są wznowione.");
    m_hold = Hold::None;
    m_pauseMs = 0;
}

JobOutcome SpoolIntake::runTaken(std::unique_ptr<SpoolFile> file)
{
    const FileIdentity identity = file->identity();
    const std::string& path = identity.path;
    // An empty file prints nothing, and a document of another kind is not a printer stream.
    const DocumentKind kind = documentKindOf(identity.size, [&file](int64_t offset, char* buffer, size_t size) {
        return file->readAt(offset, buffer, size);
    });
    if (kind != DocumentKind::PrinterStream)
        return removeUnprinted(*file, kind);
    TVxReport& rap = m_engine.report();
    if (m_hooks.beep)
        m_hooks.beep();
    bool ok = false;
    try {
        char header[16];
        const size_t n = file->readAt(0, header, sizeof header);
        ok = m_engine.runJob(*file, std::string_view(header, n), path);
    } catch (const std::exception& e) {
        ok = false;
        report("Błąd zadania " + path + ": " + e.what());
    }
    ReportPrinter& printer = m_engine.printer();
    const std::string printerSays = printer.lastError().empty() ? std::string() : " Drukarka: " + printer.lastError();

    if (!ok && rap.ErrorKind() != ReportError::UserAbort && printer.lastErrorTransient())
        return holdForRetry(*file, printerSays);
    endHold();

    JobOutcome outcome;
    if (ok || rap.ErrorKind() == ReportError::UserAbort) {
        outcome = JobOutcome::Printed;
        if (!m_files.remove(*file)) {
            m_files.release(*file);
            m_skip.add(identity);
            report("Nie można usunąć pliku " + path + "; nie będzie drukowany ponownie.");
            outcome = JobOutcome::Kept;
        }
    } else {
        outcome = keepAsFailed(*file, "Nie udało się wydrukować pliku " + path + " (" + rap.ErrorClassName()
                                   + ": " + rap.ErrorMessage() + ")", printerSays);
    }
    file.reset();
    if (m_engine.settings().Preview && m_hooks.preview)
        m_hooks.preview(rap);
    return outcome;
}

} // namespace quillon
