// The folder watch behind instant pickup: which events wake the intake, and how watches follow
// folders that come, go and come back.

#include "FolderWatcher.h"
#include "core/TestFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

class FolderWatch : public ::testing::Test {
protected:
    // Lets the event loop run for ms milliseconds; returns how many times the watcher woke us.
    int wakes(int ms = 300)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return std::exchange(m_wakes, 0);
    }
    void put(const std::string& name, const std::string& text = "x")
    {
        writeFile(dir.file(name), std::vector<uint8_t>(text.begin(), text.end()));
    }

    TempDir dir;
    int m_wakes = 0;
    FolderWatcher watcher{[this] { ++m_wakes; }};
};

} // namespace

TEST_F(FolderWatch, OnlyAFinishedFileMatchingAMaskWakesTheIntake)
{
    ASSERT_TRUE(watcher.available());
    fs::create_directories(dir.file("a"));
    watcher.watch({{dir.file("a"), {"*.prn", "raport?"}}});
    EXPECT_EQ(wakes(50), 0);

    const int fd = ::open(dir.file("a/open.prn").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    EXPECT_EQ(wakes(), 0) << "a file still open for writing";
    ::close(fd);
    EXPECT_EQ(wakes(), 1) << "its close";

    put("a/note.txt");
    put("a/.hidden.prn");
    fs::create_directories(dir.file("a/sub.prn"));
    put("a/sub.prn/inner.prn");
    EXPECT_EQ(wakes(), 0) << "other names, hidden files, folders and subfolders";

    put("a/RAPORT1");
    EXPECT_EQ(wakes(), 1) << "masks match regardless of case";

    // A burst read together wakes once or a few times, never once per file.
    for (int i = 0; i < 200; ++i)
        put("a/burst" + std::to_string(i) + ".prn");
    const int burst = wakes();
    EXPECT_GE(burst, 1);
    EXPECT_LT(burst, 50);

    put("elsewhere.tmp");
    fs::rename(dir.file("elsewhere.tmp"), dir.file("a/moved.prn"));
    EXPECT_EQ(wakes(), 1) << "a file moved in";
    fs::rename(dir.file("a/moved.prn"), dir.file("a/moved.prn.failed"));
    EXPECT_EQ(wakes(), 0) << "a file renamed to a name outside the masks";
}

TEST_F(FolderWatch, WatchesFollowThePatternsAndFoldersThatComeAndGo)
{
    fs::create_directories(dir.file("a"));
    // "later" does not exist yet: it is simply not watched.
    watcher.watch({{dir.file("a"), {"*.prn"}}, {dir.file("later"), {"*.prn"}}});
    EXPECT_EQ(watcher.watched(), std::vector<std::string>{dir.file("a")});

    fs::create_directories(dir.file("later"));
    put("later/one.prn");
    EXPECT_EQ(wakes(), 0) << "not watched before the next call";
    watcher.watch({{dir.file("a"), {"*.prn"}}, {dir.file("later"), {"*.prn"}}});
    EXPECT_EQ(watcher.watched().size(), 2u);
    put("later/two.prn");
    EXPECT_EQ(wakes(), 1);

    // A folder removed loses its watch; made again, the next call watches it again.
    fs::remove_all(dir.file("a"));
    EXPECT_EQ(wakes(), 0);
    EXPECT_EQ(watcher.watched(), std::vector<std::string>{dir.file("later")});
    fs::create_directories(dir.file("a"));
    watcher.watch({{dir.file("a"), {"*.prn"}}, {dir.file("later"), {"*.prn"}}});
    put("a/back.prn");
    EXPECT_EQ(wakes(), 1);

    // A folder renamed away is not watched under its old name any more.
    fs::rename(dir.file("later"), dir.file("gone"));
    wakes(100);
    put("gone/three.prn");
    EXPECT_EQ(wakes(), 0);
    EXPECT_EQ(watcher.watched(), std::vector<std::string>{dir.file("a")});

    // The pattern list changes: a folder left out is no longer heard, a new mask counts.
    fs::create_directories(dir.file("b"));
    watcher.watch({{dir.file("b"), {"*.txt"}}});
    put("a/after.prn");
    EXPECT_EQ(wakes(), 0);
    put("b/now.txt");
    EXPECT_EQ(wakes(), 1);

    // The same folder under two paths: one watch, both masks.
    fs::create_directory_symlink(dir.file("b"), dir.file("b-link"));
    watcher.watch({{dir.file("b"), {"*.txt"}}, {dir.file("b-link"), {"*.lst"}}});
    put("b/x.lst");
    EXPECT_EQ(wakes(), 1);
    watcher.watch({{dir.file("b-link"), {"*.lst"}}});
    put("b/y.lst");
    EXPECT_EQ(wakes(), 1) << "the shared watch stays while one path still wants it";
    watcher.watch({});
    put("b/z.lst");
    EXPECT_EQ(wakes(), 0);
    EXPECT_TRUE(watcher.watched().empty());
}
