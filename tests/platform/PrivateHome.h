#pragma once
// A test process's own home, configuration, data, cache and runtime folders in a fresh folder
// under /tmp. Test processes that run side by side (ctest -j) then never share a settings file, a
// page store in the data folder or its lock, and no test reads or writes the real user's files.
// Child processes (quillon-render, the reruns of death tests) inherit the folders through the
// environment; only the process that made them removes them.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {

class PrivateHome {
public:
    PrivateHome()
    {
        if (std::getenv(kMarker))
            return; // a parent test process made them
        char pattern[] = "/tmp/quillon-home-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("cannot make a private home for the tests");
            std::exit(2);
        }
        m_dir = pattern;
        const std::pair<const char*, const char*> folders[] = {
            {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
            {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"}};
        for (const auto& [variable, name] : folders) {
            const std::string path = m_dir + "/" + name;
            ::mkdir(path.c_str(), 0700);
            ::setenv(variable, path.c_str(), 1);
        }
        ::setenv(kMarker, m_dir.c_str(), 1);
    }
    ~PrivateHome()
    {
        if (m_dir.empty())
            return;
        ::unsetenv(kMarker);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

private:
    static constexpr const char* kMarker = "QUILLON_TEST_HOME";
    std::string m_dir;
};

} // namespace quillon::test
