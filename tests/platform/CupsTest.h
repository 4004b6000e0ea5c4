#pragma once
// The base of the tests that print through a private CUPS scheduler: the scheduler with its queues,
// a temporary folder, and a home of the test's own for the programs it starts. A test that needs
// more in its SetUp calls this SetUp first and stops when it skipped or failed (ready()).

#include "core/TestFiles.h"
#include "CupsScheduler.h"
#include "RenderProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace quillon::test {

class CupsTest : public ::testing::Test {
protected:
    // The capture queues to make, each with whether it becomes the default destination.
    explicit CupsTest(std::vector<std::pair<std::string, bool>> queues = {{"capture", true}})
        : m_queues(std::move(queues))
    {
    }

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the private scheduler runs its backend as root";
        ASSERT_TRUE(cups.ok()) << cups.error();
        for (const auto& [name, makeDefault] : m_queues)
            ASSERT_TRUE(cups.addQueue(name, makeDefault)) << cups.error();
    }
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }

    // Writes a spool file of the given bytes into the temporary folder; its path.
    std::string spool(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir.file(name);
        writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return path;
    }

    // Home, configuration and data folders of the test's own (with the configuration's
    // organisation folder), as the environment of a program it starts.
    std::map<QString, QString> privateHome()
    {
        for (const char* d : {"home", "config/Terlo", "data"})
            std::filesystem::create_directories(dir.file(d));
        return {{"HOME", qs(dir.file("home"))},
                {"XDG_CONFIG_HOME", qs(dir.file("config"))},
                {"XDG_DATA_HOME", qs(dir.file("data"))}};
    }

    CupsScheduler cups;
    TempDir dir;

private:
    std::vector<std::pair<std::string, bool>> m_queues;
};

} // namespace quillon::test
