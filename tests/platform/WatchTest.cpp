// quillon-render --watch end to end: files dropped into folders, printed through a private CUPS
// scheduler, each exactly once.

#include "core/TestFiles.h"
#include "CupsScheduler.h"
#include "PdfTools.h"
#include "RenderProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

class Watch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the private scheduler runs its backend as root";
        ASSERT_TRUE(cups.ok()) << cups.error();
        ASSERT_TRUE(cups.addQueue("capture", true)) << cups.error();
        for (const char* d : {"home", "config/Terlo", "data", "a", "b"})
            fs::create_directories(dir.file(d));
        env = {{"HOME", qs(dir.file("home"))},
               {"XDG_CONFIG_HOME", qs(dir.file("config"))},
               {"XDG_DATA_HOME", qs(dir.file("data"))}};
    }

    void configure(const std::vector<std::string>& patterns, int pollingFreq = 2)
    {
        std::ofstream conf(dir.file("config/Terlo/QuillonPrint.conf"), std::ios::trunc);
        conf << "[General]\nPollingFreq=" << pollingFreq << "\nPreview=OFF\n";
        for (size_t i = 0; i < patterns.size(); ++i)
            conf << "PeekPath" << i << "=" << patterns[i] << "\n";
    }

    void drop(const std::string& name, const std::string& text, int64_t mtime = 0)
    {
        std::string path = dir.file(name);
        writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
        if (mtime) {
            struct timespec t[2] = {{mtime, 0}, {mtime, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), t, 0);
        }
    }

    RenderRun once() { return runRender({"--watch", "--once"}, env, {}, 120000); }

    std::unique_ptr<QProcess> startWatcher()
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : env)
            e.insert(name, value);
        p->setProcessEnvironment(e);
        p->start(QString(QUILLON_RENDER), {"--watch"});
        p->waitForStarted();
        return p;
    }

    CupsScheduler cups;
    TempDir dir;
    std::map<QString, QString> env;
};

// The height of the first word's box on the first page, in points.
double firstWordHeight(const std::string& pdf)
{
    QString html = runTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", qs(pdf), "-"});
    QRegularExpression re(R"re(<word xMin="[\d.]+" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">)re");
    auto m = re.match(html);
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : 0;
}

} // namespace

TEST_F(Watch, FoldersArePrintedPatternByPatternOldestFirstAndEmptied)
{
    configure({dir.file("a/*.prn"), dir.file("b/*.PRN")});
    drop("b/first.prn", "B-najstarszy", 1000);
    drop("a/late.PRN", "\x1bXGA-drugi-maly", 3000);
    drop("a/early.prn", "\x1bX0A-pierwszy-poziomy", 2000);
    drop("a/note.txt", "nie drukowac", 500);
    RenderRun r = once();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 3, 30000);
    ASSERT_EQ(jobs.size(), 3u) << r.err;
    EXPECT_NE(pdfText(jobs[0].documentPath).find("A-pierwszy-poziomy"), std::string::npos);
    EXPECT_NE(pdfText(jobs[1].documentPath).find("A-drugi-maly"), std::string::npos);
    EXPECT_NE(pdfText(jobs[2].documentPath).find("B-najstarszy"), std::string::npos);
    EXPECT_TRUE(pdfPages(jobs[0].documentPath)[0].landscape());
    EXPECT_FALSE(pdfPages(jobs[1].documentPath)[0].landscape());
    // 6 pt against 12 pt.
    const double small = firstWordHeight(jobs[1].documentPath);
    const double normal = firstWordHeight(jobs[2].documentPath);
    EXPECT_GT(small, 0);
    EXPECT_LT(small, normal * 0.7) << small << " vs " << normal;

    EXPECT_FALSE(fs::exists(dir.file("a/late.PRN")));
    EXPECT_FALSE(fs::exists(dir.file("a/early.prn")));
    EXPECT_FALSE(fs::exists(dir.file("b/first.prn")));
    EXPECT_TRUE(fs::exists(dir.file("a/note.txt")));

    ASSERT_EQ(once().exitCode, 0);
    EXPECT_EQ(cups.waitForJobs("capture", 4, 1000).size(), 3u) << "nothing is printed twice";
}

TEST_F(Watch, AFileIsTakenOnlyAfterItsWriterClosedIt)
{
    configure({dir.file("a/*.prn")}, 2);
    const std::string path = dir.file("a/slow.prn");
    QProcess writer;
    writer.start("bash", {"-c", "exec 3>>\"$0\"; printf 'CZESC-1 ' >&3; sleep 5; printf 'CZESC-2' >&3", qs(path)});
    ASSERT_TRUE(writer.waitForStarted());
    auto watcher = startWatcher();
    QThread::msleep(4000); // two polls while the writer holds the file
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 10).empty());
    EXPECT_TRUE(fs::exists(path));
    ASSERT_TRUE(writer.waitForFinished(10000));
    auto jobs = cups.waitForJobs("capture", 1, 15000);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_NE(pdfText(jobs[0].documentPath).find("CZESC-1 CZESC-2"), std::string::npos);
    QThread::msleep(2500);
    EXPECT_EQ(cups.waitForJobs("capture", 2, 10).size(), 1u);
    watcher->kill();
    watcher->waitForFinished();
}

TEST_F(Watch, FifosAndLinksAreNeverOpened)
{
    configure({dir.file("a/*.prn")});
    ASSERT_EQ(::mkfifo(dir.file("a/pipe.prn").c_str(), 0600), 0);
    drop("outside.txt", "poza folderem");
    fs::create_symlink(dir.file("outside.txt"), dir.file("a/link.prn"));
    RenderRun r = runRender({"--watch", "--once"}, env, {}, 20000);
    EXPECT_EQ(r.exitCode, 0) << "a FIFO opened for reading would have blocked the pass: " << r.err;
    EXPECT_TRUE(fs::exists(dir.file("a/pipe.prn")));
    EXPECT_TRUE(fs::is_symlink(dir.file("a/link.prn")));
    EXPECT_TRUE(fs::exists(dir.file("outside.txt")));
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 500).empty());
}

TEST_F(Watch, AFileInAReadOnlyFolderIsPrintedAtMostOnce)
{
    configure({dir.file("a/*.prn")});
    drop("a/keep.prn", "TYLKO-RAZ");
    // Root may delete from any folder it cannot write to, unless the folder is immutable.
    ::chmod(dir.file("a").c_str(), 0555);
    if (CupsScheduler::run({"chattr", "+i", dir.file("a")}).exitCode != 0)
        GTEST_SKIP() << "cannot make a folder read-only for root here";
    RenderRun first = once();
    RenderRun second = once();
    CupsScheduler::run({"chattr", "-i", dir.file("a")});
    ::chmod(dir.file("a").c_str(), 0755);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(first.err.find("Nie można usunąć pliku"), std::string::npos) << first.err;
    auto jobs = cups.waitForJobs("capture", 2, 2000);
    EXPECT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(fs::exists(dir.file("a/keep.prn")));
}

TEST_F(Watch, AJobWhosePrinterFailsKeepsItsData)
{
    configure({dir.file("a/*.prn")});
    drop("a/important.prn", "DANE-KTORYCH-NIE-WOLNO-STRACIC");
    ASSERT_TRUE(cups.rejectJobs("capture"));
    RenderRun r = once();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(fs::exists(dir.file("a/important.prn")));
    auto kept = readFile(dir.file("a/important.prn.failed"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "DANE-KTORYCH-NIE-WOLNO-STRACIC");
    EXPECT_NE(r.err.find("important.prn.failed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("EVxReport_EndDoc"), std::string::npos) << r.err;
}

TEST_F(Watch, ManyWritersManyFilesEachPrintedExactlyOnce)
{
    configure({dir.file("a/*.prn"), dir.file("b/*.prn")}, 2);
    auto watcher = startWatcher();
    // Four writers, 125 files each, written in two parts with random pauses, into two folders.
    const char* script = R"(
        w=$1; out=$2
        for i in $(seq 1 125); do
          f="$out/$([ $((i % 2)) = 0 ] && echo a || echo b)/w$w-$i.prn"
          exec 3>"$f"
          printf 'JOB w%s-%s\r\n' "$w" "$i" >&3
          sleep 0.0$((RANDOM % 5))
          printf 'linia druga\r\nKONIEC w%s-%s\r\n' "$w" "$i" >&3
          exec 3>&-
          sleep 0.0$((RANDOM % 3))
        done)";
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 1; w <= 4; ++w) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start("bash", {"-c", script, "writer", QString::number(w), qs(dir.path())});
    }
    for (auto& w : writers)
        ASSERT_TRUE(w->waitForFinished(120000));
    auto jobs = cups.waitForJobs("capture", 500, 240000);
    QThread::msleep(3000); // one more poll: nothing must follow
    watcher->kill();
    watcher->waitForFinished();
    jobs = cups.waitForJobs("capture", 501, 10);
    ASSERT_EQ(jobs.size(), 500u) << cups.logTail();

    std::set<std::string> seen;
    QRegularExpression job(R"(JOB (w\d-\d+))");
    for (const auto& j : jobs) {
        const QString text = QString::fromStdString(pdfText(j.documentPath));
        auto m = job.match(text);
        ASSERT_TRUE(m.hasMatch()) << text.toStdString();
        const std::string id = m.captured(1).toStdString();
        EXPECT_TRUE(seen.insert(id).second) << id << " printed twice";
        EXPECT_TRUE(text.contains(QString::fromStdString("KONIEC " + id))) << id << " printed partly";
    }
    EXPECT_EQ(seen.size(), 500u);
    EXPECT_TRUE(fs::is_empty(dir.file("a")));
    EXPECT_TRUE(fs::is_empty(dir.file("b")));
}
