#include "posix/TempCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace quillon {

namespace {

constexpr int kSlots = 32;

struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX];
};

Slot g_slots[kSlots];

void removeAndReraise(int sig)
{
    // Newest first, so a folder's files go before the folder.
    for (int i = kSlots - 1; i >= 0; --i) {
        if (!g_slots[i].used.load())
            continue;
        if (::unlink(g_slots[i].path) != 0)
            ::rmdir(g_slots[i].path);
    }
    std::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

void removeTemporariesOnSignals()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction sa {};
    sa.sa_handler = removeAndReraise;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

TempRegistration::TempRegistration(const std::string& path) : m_slot(-1)
{
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        if (g_slots[i].used.load())
            continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].used.store(true);
        m_slot = i;
        return;
    }
}

TempRegistration::~TempRegistration()
{
    if (m_slot >= 0)
        g_slots[m_slot].used.store(false);
}

} // namespace quillon
