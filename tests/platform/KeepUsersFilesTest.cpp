// quillon-render and the skip list never lose or spoil a file the user had: refused inputs and
// outputs, names byte for byte, a full disk, and a run ended by a signal.

#include "core/TestFiles.h"
#include "CupsScheduler.h"
#include "RenderProcess.h"
#include "posix/PosixSpoolFiles.h"

#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

const std::string kShowcase = QUILLON_TEST_DATA "/showcase.prn";

// Runs quillon-render through bash, so that arguments may hold any bytes.
RenderRun renderBytes(const std::string& commandLine, const std::map<QString, QString>& env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : env)
        e.insert(name, value);
    p.setProcessEnvironment(e);
    p.start("bash", {"-c", QString::fromStdString("R='" QUILLON_RENDER "'; " + commandLine)});
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

std::vector<std::string> namesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A small file system of its own that the test fills up; needs root.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir.file("full"));
        if (::mount("tmpfs", dir.file("full").c_str(), "tmpfs", 0, "size=512k") != 0)
            GTEST_SKIP() << "cannot mount a small file system here (needs root)";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            ::umount2(dir.file("full").c_str(), MNT_DETACH);
    }
    void fill()
    {
        std::ofstream filler(dir.file("full/filler"), std::ios::binary);
        std::vector<char> block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }

    TempDir dir;
    bool mounted = false;
};

} // namespace

TEST(KeepUsersFiles, InputsThatAreNoSpoolFileAndOutputsThatAreTheInputAreRefused)
{
    TempDir dir;
    fs::create_directories(dir.file("folder"));
    RenderRun folder = runRender({qs(dir.file("folder")), "-o", qs(dir.file("x.vxr"))});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("is not a file"), std::string::npos) << folder.err;
    EXPECT_FALSE(fs::exists(dir.file("x.vxr")));

    ASSERT_EQ(runRender({qs(kShowcase), "-o", qs(dir.file("x.pdf"))}).exitCode, 0);
    const auto before = readFile(dir.file("x.pdf"));
    RenderRun self = runRender({qs(dir.file("x.pdf")), "-o", qs(dir.file("x.pdf"))});
    EXPECT_EQ(self.exitCode, 2);
    EXPECT_NE(self.err.find("is the input itself"), std::string::npos) << self.err;
    EXPECT_EQ(readFile(dir.file("x.pdf")), before);

    // A page store whose end is damaged is a damaged store, not a stream to print as text.
    ASSERT_EQ(runRender({qs(kShowcase), "-o", qs(dir.file("s.vxr"))}).exitCode, 0);
    auto store = readFile(dir.file("s.vxr"));
    store.back() ^= 0x20;
    writeFile(dir.file("s.vxr"), store);
    RenderRun damaged = runRender({qs(dir.file("s.vxr")), "-o", qs(dir.file("s.pdf"))});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("Plik raportowy jest uszkodzony"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fs::exists(dir.file("s.pdf")));
}

TEST(KeepUsersFiles, NamesAreTakenByteForByteAndStandardInputIsASpoolFile)
{
    TempDir dir;
    // A name in the DOS code page, not UTF-8, with a newline in it.
    RenderRun r = renderBytes("cd '" + dir.path() + "' && \"$R\" - -o \"$(printf 'rap\\xa5\\nort').png\" < '"
                              + kShowcase + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"rap\xa5\nort-0001.png", "rap\xa5\nort-0002.png"}));
}

TEST(KeepUsersFiles, ARunEndedBySigtermLeavesNoTemporaryFiles)
{
    TempDir dir;
    fs::create_directories(dir.file("tmp"));
    {
        // Long enough to be caught in the middle: 400 full pages.
        std::ofstream spool(dir.file("long.prn"), std::ios::binary);
        for (int page = 0; page < 400; ++page) {
            for (int line = 0; line < 60; ++line)
                spool << "Strona " << page << " wiersz " << line << " \xa5\xa9\xa8\xe3\xbe\r\n";
            spool << '\f';
        }
    }
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("TMPDIR", qs(dir.file("tmp")));
    e.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(e);
    p.start(QString(QUILLON_RENDER), {qs(dir.file("long.prn")), "-o", qs(dir.file("out/long.png"))});
    fs::create_directories(dir.file("out"));
    ASSERT_TRUE(p.waitForStarted());
    // Until its page store is being written.
    for (int i = 0; i < 200 && namesIn(dir.file("tmp")).empty(); ++i)
        QThread::msleep(20);
    QThread::msleep(200);
    ASSERT_EQ(p.state(), QProcess::Running) << "the run ended before it could be stopped";
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "ended by the signal";
    for (const std::string& name : namesIn(dir.file("tmp")))
        EXPECT_EQ(name.find("quillon"), std::string::npos) << name << " left behind";
    for (const std::string& name : namesIn(dir.file("out")))
        EXPECT_NE(name[0], '.') << name << " left behind";
}

TEST_F(FullDisk, AFullDiskFailsTheRunAndKeepsTheOldFile)
{
    ASSERT_EQ(runRender({qs(kShowcase), "-o", qs(dir.file("full/old.pdf"))}).exitCode, 0);
    const auto before = readFile(dir.file("full/old.pdf"));
    fill();
    RenderRun pdf = runRender({qs(kShowcase), "--font-size", "8", "-o", qs(dir.file("full/old.pdf"))});
    EXPECT_EQ(pdf.exitCode, 1);
    EXPECT_NE(pdf.err.find("No space left on device"), std::string::npos) << pdf.err;
    EXPECT_EQ(readFile(dir.file("full/old.pdf")), before);
    RenderRun png = runRender({qs(kShowcase), "-o", qs(dir.file("full/page.png"))});
    EXPECT_EQ(png.exitCode, 1);
    EXPECT_EQ(namesIn(dir.file("full")), (std::vector<std::string>{"filler", "old.pdf"})) << "nothing half-written";
}

TEST_F(FullDisk, TheSkipListKeepsItsEntriesWhenItCannotBeStored)
{
    const FileIdentity kept{"/dospr/a.prn", 1, 2, 3, 4};
    {
        FileSkipList list(dir.file("full/skipped"));
        list.add(kept);
    }
    fill();
    {
        FileSkipList list(dir.file("full/skipped"));
        list.add({"/dospr/b.prn", 5, 6, 7, 8}); // cannot be stored
    }
    FileSkipList again(dir.file("full/skipped"));
    EXPECT_TRUE(again.contains(kept));
}

// A temporary folder that does not exist (TMPDIR set wrong) is an error for what needs one and
// no matter for what does not; the program never aborts on it.
TEST(KeepUsersFiles, AMissingTemporaryFolderIsAClearErrorNotACrash)
{
    TempDir dir;
    const std::map<QString, QString> env{{"TMPDIR", "/nonexistent-quillon-tmp"}};
    RenderRun png = runRender({qs(kShowcase), "-o", qs(dir.file("page.png"))}, env);
    EXPECT_EQ(png.exitCode, 1) << png.err;
    EXPECT_NE(png.err.find("cannot create a temporary folder"), std::string::npos) << png.err;
    RenderRun pdf = runRender({qs(kShowcase), "-o", qs(dir.file("out.pdf"))}, env);
    EXPECT_EQ(pdf.exitCode, 0) << pdf.err;
    EXPECT_TRUE(fs::exists(dir.file("out.pdf")));
}
