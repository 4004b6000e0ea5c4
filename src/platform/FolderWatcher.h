#pragma once
// Tells when a spool file is ready in one of the watched folders: a file whose name matches one of
// the folder's masks was closed after writing, or moved in. The kernel's inotify reports it; the
// event loop hears about it through a socket notifier, so nothing here blocks or spins.
//
// A folder that cannot be watched (missing, on a file system without inotify, over the limit of
// watches) is tried again at the next watch() call; until then the caller's polling covers it.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;

namespace quillon {

class FolderWatcher {
public:
    // ready is called on the event loop whenever a matching file was finished (once for a burst
    // of events read together).
    explicit FolderWatcher(std::function<void()> ready);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // False when inotify itself is not available: nothing is ever watched.
    bool available() const { return m_fd >= 0; }

    // The folders to watch, each with its masks (matched as the intake matches them). Folders no
    // longer listed stop being watched; listed ones not yet watched are tried again.
    void watch(const std::map<std::string, std::set<std::string>>& masksByFolder);

    // The folders watched now.
    std::vector<std::string> watched() const;

private:
    void readEvents();
    bool matches(int wd, const char* name) const;
    void forget(int wd);

    std::function<void()> m_ready;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<std::string, std::set<std::string>> m_wanted;
    std::map<std::string, int> m_wdOf;          // folder -> its watch descriptor
    std::map<int, std::set<std::string>> m_masksOf; // watch descriptor -> masks
};

} // namespace quillon
