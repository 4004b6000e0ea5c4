#include "FolderWatcher.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fnmatch.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace quillon {

namespace {

// What makes a file ready: its writer closed it, or it was moved in whole. A folder that goes away
// or is renamed loses its watch.
constexpr uint32_t kWatchMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FolderWatcher::FolderWatcher(std::function<void()> ready) : m_ready(std::move(ready))
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWatcher::watch(const std::map<std::string, std::set<std::string>>& masksByFolder)
{
    if (m_fd < 0)
        return;
    m_wanted = masksByFolder;
    // Folders no longer wanted; a watch goes when no wanted folder shares it (one folder reached
    // by two paths has one watch).
    for (auto it = m_wdOf.begin(); it != m_wdOf.end();) {
        if (m_wanted.count(it->first)) {
            ++it;
            continue;
        }
        const int wd = it->second;
        it = m_wdOf.erase(it);
        bool shared = false;
        for (const auto& [folder, other] : m_wdOf)
            shared = shared || other == wd;
        if (!shared)
            ::inotify_rm_watch(m_fd, wd);
    }
    for (const auto& [folder, masks] : m_wanted) {
        if (m_wdOf.count(folder))
            continue;
        const int wd = ::inotify_add_watch(m_fd, folder.c_str(), kWatchMask);
        if (wd >= 0)
            m_wdOf[folder] = wd;
    }
    m_masksOf.clear();
    for (const auto& [folder, wd] : m_wdOf)
        m_masksOf[wd].insert(m_wanted[folder].begin(), m_wanted[folder].end());
}

std::vector<std::string> FolderWatcher::watched() const
{
    std::vector<std::string> folders;
    for (const auto& [folder, wd] : m_wdOf)
        folders.push_back(folder);
    return folders;
}

bool FolderWatcher::matches(int wd, const char* name) const
{
    auto it = m_masksOf.find(wd);
    if (it == m_masksOf.end())
        return false;
    for (const std::string& mask : it->second)
        if (::fnmatch(mask.c_str(), name, FNM_CASEFOLD | FNM_PERIOD) == 0)
            return true;
    return false;
}

void FolderWatcher::forget(int wd)
{
    for (auto it = m_wdOf.begin(); it != m_wdOf.end();)
        it = it->second == wd ? m_wdOf.erase(it) : std::next(it);
    m_masksOf.erase(wd);
}

void FolderWatcher::readEvents()
{
    bool ready = false;
    alignas(struct inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(struct inotify_event)) <= n;) {
            const auto* e = reinterpret_cast<const struct inotify_event*>(buffer + at);
            at += ssize_t(sizeof(struct inotify_event)) + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                ready = true; // events were lost: a pass finds whatever is there
            } else if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                // The folder went away or now lives elsewhere: the next watch() tries its path again.
                if (!(e->mask & IN_IGNORED))
                    ::inotify_rm_watch(m_fd, e->wd);
                forget(e->wd);
            } else if ((e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) && !(e->mask & IN_ISDIR) && e->len > 0
                       && matches(e->wd, e->name)) {
                ready = true;
            }
        }
    }
    if (ready && m_ready)
        m_ready();
}

} // namespace quillon
