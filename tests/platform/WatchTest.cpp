// quillon-render --watch end to end: files dropped into folders, printed through a private CUPS
// scheduler, each exactly once.

#include "core/TestFiles.h"
#include "CupsTest.h"
#include "PdfTools.h"
#include "RenderProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

class Watch : public CupsTest {
protected:
    void SetUp() override
    {
        CupsTest::SetUp();
        if (!ready())
            return;
        for (const char* d : {"a", "b"})
            fs::create_directories(dir.file(d));
        env = privateHome();
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

    // The watcher in a user and mount namespace of its own, after the shell commands of setup
    // (a small file system mounted over one of the test's folders); null where namespaces are
    // not allowed. The test reaches the mounted folders through /proc/PID/root.
    std::unique_ptr<QProcess> startWatcherAfter(const std::string& setup)
    {
        if (CupsScheduler::run({"unshare", "-Urm", "true"}).exitCode != 0)
            return nullptr;
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : env)
            e.insert(name, value);
        p->setProcessEnvironment(e);
        p->start("unshare", {"-Urm", "sh", "-c", qs(setup + "\nexec \"$0\" --watch"), QString(QUILLON_RENDER)});
        p->waitForStarted();
        return p;
    }

    // What the watcher said on its standard error until it said part (or timeoutMs passed).
    static QString waitForSaying(QProcess& watcher, const QString& part, int timeoutMs)
    {
        QString said;
        for (QElapsedTimer t; t.isValid() ? t.elapsed() < timeoutMs : (t.start(), true);) {
            watcher.waitForReadyRead(200);
            said += QString::fromUtf8(watcher.readAllStandardError());
            if (said.contains(part))
                break;
        }
        return said;
    }

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

TEST_F(Watch, APatternThatIsNotAFullPathIsPassedOverWithOneMessage)
{
    configure({"raporty/*.prn", dir.file("a/*.prn")});
    fs::create_directories(dir.file("raporty"));
    drop("raporty/here.prn", "z-folderu-startu");
    drop("a/ok.prn", "pelna-sciezka");
    // Started from the folder that holds "raporty": the pattern would find its file there.
    const RenderRun r = runRender({"--watch", "--once"}, env, dir.path(), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << r.err;
    EXPECT_NE(pdfText(jobs[0].documentPath).find("pelna-sciezka"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir.file("raporty/here.prn")));
    const std::string message = "Wzorzec folderu „raporty/*.prn” pominięto";
    const size_t first = r.err.find(message);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(message, first + 1), std::string::npos) << "said once\n" << r.err;
    EXPECT_EQ(cups.waitForJobs("capture", 2, 1000).size(), 1u);
}

// Each file dropped into folder b is printed by a pass that came to folder a first, so the passes
// are counted by the jobs of b.
TEST_F(Watch, AFileIsTakenOnlyAfterItsWriterClosedIt)
{
    configure({dir.file("a/*.prn"), dir.file("b/*.prn")}, 2);
    const std::string path = dir.file("a/slow.prn");
    const int writer = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); // not the watcher's
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "CZESC-1 ", 8), 8);
    auto watcher = startWatcher();
    for (size_t pass = 1; pass <= 2; ++pass) {
        drop("b/pass" + std::to_string(pass) + ".prn", "PRZEBIEG");
        ASSERT_EQ(cups.waitForJobs("capture", pass, 15000).size(), pass) << "no pass while the writer holds a/slow.prn";
    }
    EXPECT_TRUE(fs::exists(path));
    ASSERT_EQ(::write(writer, "CZESC-2", 7), 7);
    ::close(writer);
    auto jobs = cups.waitForJobs("capture", 3, 15000);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_NE(pdfText(jobs[2].documentPath).find("CZESC-1 CZESC-2"), std::string::npos);
    drop("b/pass3.prn", "PRZEBIEG"); // one more pass: the file is not taken again
    EXPECT_EQ(cups.waitForJobs("capture", 4, 15000).size(), 4u);
    EXPECT_EQ(cups.waitForJobs("capture", 5, 10).size(), 4u);
    EXPECT_FALSE(fs::exists(path));
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
    EXPECT_TRUE(cups.waitUntilDone("capture", 30000));
    EXPECT_EQ(cups.waitForJobs("capture", 2, 0).size(), 1u);
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

TEST_F(Watch, WhileThePrintServiceIsAwayFilesWaitAndPrintAfterwards)
{
    configure({dir.file("a/*.prn")}, 2);
    auto watcher = startWatcher();
    // The scheduler cannot be reached while its socket is out of the way.
    const std::string away = cups.socketPath() + ".away";
    ASSERT_EQ(::rename(cups.socketPath().c_str(), away.c_str()), 0);
    drop("a/waits.prn", "CZEKA-NA-DRUKARKE");
    QString err = waitForSaying(*watcher, "Nie można połączyć się z usługą drukowania", 30000);
    ASSERT_TRUE(err.contains("Nie można połączyć")) << err.toStdString();
    EXPECT_TRUE(fs::exists(dir.file("a/waits.prn"))) << "the file stays where it was";
    EXPECT_FALSE(fs::exists(dir.file("a/waits.prn.failed")));
    ASSERT_EQ(::rename(away.c_str(), cups.socketPath().c_str()), 0);
    auto jobs = cups.waitForJobs("capture", 1, 30000);
    watcher->kill();
    watcher->waitForFinished();
    err += QString::fromUtf8(watcher->readAllStandardError());
    ASSERT_EQ(jobs.size(), 1u) << err.toStdString();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("CZEKA-NA-DRUKARKE"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("a/waits.prn")));
    // One message while it lasts, with the print service's own reason, and one when it is over.
    EXPECT_EQ(err.count("Nie można połączyć się z usługą drukowania"), 1) << err.toStdString();
    EXPECT_EQ(err.count("Drukarka: "), 1) << err.toStdString();
    EXPECT_EQ(err.count("znów działa"), 1) << err.toStdString();
}

TEST_F(Watch, AFileLeftClaimedByAKilledWatcherIsPrintedByTheNext)
{
    configure({dir.file("a/*.prn")});
    // What a watcher killed in the middle of a job leaves: the file in an unlocked claim folder.
    fs::create_directories(dir.file("a/.quillon-claimed/Xk3b9Q"));
    drop("a/.quillon-claimed/Xk3b9Q/half.prn", "NIE-ZGUBIONY");
    RenderRun r = once();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 1, 10000);
    ASSERT_EQ(jobs.size(), 1u) << r.err;
    EXPECT_NE(pdfText(jobs[0].documentPath).find("NIE-ZGUBIONY"), std::string::npos);
    EXPECT_EQ(jobs[0].title, dir.file("a/half.prn").substr(0, 31)) << "titled with its own name";
    EXPECT_TRUE(fs::is_empty(dir.file("a"))) << "nothing left behind";
}

TEST_F(Watch, TwoWatchersAndFourWritersPrintEveryFileAndLineExactlyOnce)
{
    configure({dir.file("a/*.prn"), dir.file("b/*.prn")}, 2);
    fs::create_directories(dir.file("tmp"));
    env["TMPDIR"] = qs(dir.file("tmp"));
    auto first = startWatcher();
    auto second = startWatcher();
    // Four writers, 100 files each, into two folders: written in two parts with a pause, written
    // under another name and renamed into place, or grown by repeated appends (open, add a line,
    // close), which may be taken between two appends: the later lines are then a new job.
    const char* script = R"sh(
        w=$1; out=$2
        for i in $(seq 1 100); do
          d="$out/$([ $((i % 2)) = 0 ] && echo a || echo b)"
          f="$d/w$w-$i.prn"
          case $((i % 3)) in
          0) exec 3>"$f"
             printf 'LINE w%s-%s-1\r\n' "$w" "$i" >&3
             sleep 0.0$((RANDOM % 5))
             printf 'LINE w%s-%s-2\r\n' "$w" "$i" >&3
             exec 3>&- ;;
          1) printf 'LINE w%s-%s-1\r\nLINE w%s-%s-2\r\n' "$w" "$i" "$w" "$i" > "$d/w$w-$i.tmp"
             mv "$d/w$w-$i.tmp" "$f" ;;
          2) for k in 1 2 3 4 5; do
               printf 'LINE w%s-%s-%s\r\n' "$w" "$i" "$k" >> "$f"
               sleep 0.$((RANDOM % 4))
             done ;;
          esac
          sleep 0.0$((RANDOM % 3))
        done)sh";
    std::set<std::string> expected;
    for (int w = 1; w <= 4; ++w)
        for (int i = 1; i <= 100; ++i)
            for (int k = 1; k <= (i % 3 == 2 ? 5 : 2); ++k)
                expected.insert("w" + std::to_string(w) + "-" + std::to_string(i) + "-" + std::to_string(k));
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 1; w <= 4; ++w) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start("bash", {"-c", script, "writer", QString::number(w), qs(dir.path())});
    }
    for (auto& w : writers)
        ASSERT_TRUE(w->waitForFinished(240000));
    // Until both folders are empty, then one more pass (a last file taken): nothing must follow.
    auto waitUntil = [](const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeoutMs)
            QThread::msleep(100);
        return done();
    };
    EXPECT_TRUE(waitUntil([&] { return fs::is_empty(dir.file("a")) && fs::is_empty(dir.file("b")); }, 120000));
    drop("a/last.prn", "OSTATNI");
    EXPECT_TRUE(waitUntil([&] { return fs::is_empty(dir.file("a")); }, 30000)) << "no pass after the writers";
    for (auto* watcher : {first.get(), second.get()}) {
        watcher->terminate();
        watcher->waitForFinished();
    }
    // A busy machine may still be printing the last jobs that the watchers handed over.
    EXPECT_TRUE(cups.waitUntilDone("capture", 120000)) << CupsScheduler::run({"lpstat", "-o", "capture"}).output;
    auto jobs = cups.waitForJobs("capture", 100000, 0);

    std::map<std::string, int> seen;
    QRegularExpression line(R"(LINE (w\d-\d+-\d))");
    for (const auto& j : jobs) {
        auto it = line.globalMatch(QString::fromStdString(pdfText(j.documentPath)));
        while (it.hasNext())
            ++seen[it.next().captured(1).toStdString()];
    }
    for (const std::string& id : expected)
        EXPECT_EQ(seen[id], 1) << "line " << id;
    EXPECT_EQ(seen.size(), expected.size());
    EXPECT_GE(jobs.size(), 400u);
    for (const char* folder : {"a", "b"})
        for (const auto& e : fs::recursive_directory_iterator(dir.file(folder)))
            ADD_FAILURE() << e.path() << " left behind";
    for (const auto& e : fs::directory_iterator(dir.file("tmp")))
        EXPECT_EQ(e.path().filename().string().find("quillon"), std::string::npos) << e.path() << " left behind";
}

// The polling tick is 10 s here: whatever prints within a few seconds was picked up by the folder
// watch.
TEST_F(Watch, AFinishedFileIsPrintedAtOnceAndAFolderMadeLaterIsWatchedFromItsFirstTick)
{
    configure({dir.file("a/*.prn"), dir.file("later/*.prn")}, 10);
    auto watcher = startWatcher();
    QThread::msleep(1000);
    using Clock = std::chrono::steady_clock;

    // Written in two parts with the file held open: nothing before the close, the job right after.
    const std::string held = dir.file("a/held.prn");
    {
        const int fd = ::open(held.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "PIERWSZA ", 9), 9);
        drop("a/note.txt", "nie drukowac"); // closed, but not a spool file
        QThread::msleep(1500);
        EXPECT_TRUE(cups.waitForJobs("capture", 1, 10).empty()) << "taken while still open";
        ASSERT_EQ(::write(fd, "DRUGA", 5), 5);
        ::close(fd);
    }
    auto closed = Clock::now();
    auto jobs = cups.waitForJobs("capture", 1, 6000);
    ASSERT_EQ(jobs.size(), 1u) << "not printed within 6 s of its close";
    EXPECT_NE(pdfText(jobs[0].documentPath).find("PIERWSZA DRUGA"), std::string::npos);
    EXPECT_LT(Clock::now() - closed, std::chrono::milliseconds(6000));

    // Moved in under its final name, upper-case extension.
    drop("moved.tmp", "PRZENIESIONY");
    fs::rename(dir.file("moved.tmp"), dir.file("a/MOVED.PRN"));
    ASSERT_EQ(cups.waitForJobs("capture", 2, 6000).size(), 2u) << "a file moved in waits for the tick";

    // A folder that did not exist when the watcher started: polled at the tick, watched after it.
    fs::create_directories(dir.file("later"));
    drop("later/first.prn", "PIERWSZY-Z-NOWEGO");
    ASSERT_EQ(cups.waitForJobs("capture", 3, 14000).size(), 3u) << "the tick takes it";
    drop("later/second.prn", "DRUGI-Z-NOWEGO");
    ASSERT_EQ(cups.waitForJobs("capture", 4, 6000).size(), 4u) << "the new folder is watched now";

    EXPECT_EQ(cups.waitForJobs("capture", 5, 1500).size(), 4u) << "each file once";
    EXPECT_TRUE(fs::exists(dir.file("a/note.txt")));
    watcher->kill();
    watcher->waitForFinished();
}

// A real DOS program in DOSBox prints through the watcher: tests/dos/report.asm writes its report
// into RAPORT.PRN on drive D:, the watched folder, in parts a second apart, closes it, and then
// makes ZAMKNIE.TXT.
TEST_F(Watch, AReportWrittenByADosProgramInDosBoxIsPrintedOnceAfterItIsClosed)
{
    const QString nasm = QStandardPaths::findExecutable("nasm");
    const QString dosbox = QStandardPaths::findExecutable("dosbox");
    ASSERT_FALSE(nasm.isEmpty() || dosbox.isEmpty()) << "nasm and dosbox are needed (scripts/setup.sh)";
    for (const char* d : {"c", "dosprn", "dosbox-home"})
        fs::create_directories(dir.file(d));
    ASSERT_EQ(runTool(nasm, {"-f", "bin", QUILLON_DOS_SOURCE "/report.asm", "-o", qs(dir.file("c/REPORT.COM"))}), "");
    ASSERT_TRUE(fs::exists(dir.file("c/REPORT.COM")));
    {
        std::ofstream conf(dir.file("dosbox.conf"));
        conf << "[sdl]\noutput=surface\n[mixer]\nnosound=true\n[speaker]\npcspeaker=false\n"
             << "[midi]\nmpu401=none\n[autoexec]\n"
             << "mount c \"" << dir.file("c") << "\"\nmount d \"" << dir.file("dosprn") << "\"\n"
             << "d:\nc:\\report.com\nexit\n";
    }
    // Polled every 2 s besides the folder watch: passes come while DOS holds the file open.
    configure({dir.file("dosprn/*.prn")}, 2);
    auto watcher = startWatcher();

    QProcess dos;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("HOME", qs(dir.file("dosbox-home")));
    e.insert("SDL_VIDEODRIVER", "dummy");
    e.insert("SDL_AUDIODRIVER", "dummy");
    dos.setProcessEnvironment(e);
    dos.setProcessChannelMode(QProcess::MergedChannels);
    dos.start(dosbox, {"-conf", qs(dir.file("dosbox.conf")), "-noconsole"});
    ASSERT_TRUE(dos.waitForStarted());

    // Watch the report while DOS holds it open (DOSBox keeps what DOS writes in its buffers until
    // the close), and see which comes first: the job or the sign that DOS has closed the file.
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const std::string report = dir.file("dosprn/RAPORT.PRN");
    const std::string closedSign = dir.file("dosprn/ZAMKNIE.TXT");
    std::optional<Clock::time_point> openedAt, closedAt, printedAt;
    bool closedBeforePrinted = false;
    while (Clock::now() - begin < std::chrono::seconds(60) && !printedAt) {
        const bool closed = fs::exists(closedSign);
        if (closed && !closedAt)
            closedAt = Clock::now();
        if (!closed && !openedAt && fs::exists(report))
            openedAt = Clock::now();
        if (!cups.waitForJobs("capture", 1, 0).empty()) {
            printedAt = Clock::now();
            closedBeforePrinted = closed;
        }
        QThread::msleep(10);
    }
    ASSERT_TRUE(dos.waitForFinished(30000));
    EXPECT_EQ(dos.exitCode(), 0) << dos.readAll().toStdString();
    watcher->kill();
    watcher->waitForFinished();
    ASSERT_TRUE(printedAt) << "not printed; DOSBox said:\n" << dos.readAll().toStdString()
                           << "\nthe watcher said:\n" << watcher->readAllStandardError().toStdString();
    EXPECT_TRUE(closedBeforePrinted) << "printed before DOS closed the file";
    ASSERT_TRUE(openedAt && closedAt);
    EXPECT_GT(*closedAt - *openedAt, std::chrono::seconds(3)) << "DOS held the report open while it wrote";
    EXPECT_LT(*printedAt - *closedAt, std::chrono::seconds(8)) << "a pass comes every 2 s";

    auto jobs = cups.waitForJobs("capture", 2, 1500);
    ASSERT_EQ(jobs.size(), 1u) << "printed exactly once";
    const auto pages = pdfPages(jobs[0].documentPath);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].landscape()) << "ESC X 0 at the start of the report";
    const std::string text = pdfText(jobs[0].documentPath);
    for (const char* expected : {"RAPORT SPRZEDAŻY", "Zespół handlowy: Zażółć gęślą jaźń",
                                 "┌────────────┬──────────┐", "│ Towar      │      Cena│",
                                 "│ Jabłka     │  12,50 zł│", "│ Śliwki     │   7,99 zł│",
                                 "└────────────┴──────────┘", "podatek VAT", "KONIEC RAPORTU"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " is not in\n" << text;
    EXPECT_FALSE(fs::exists(report)) << "the printed report is removed";
    EXPECT_TRUE(fs::exists(closedSign));
}

TEST_F(Watch, ASpoolNameInTheDosCodePageReachesCupsAsUtf8)
{
    configure({dir.file("a/*.prn")});
    drop("a/\xa5.prn", "Raport z nazwa w CP852"); // 0xA5 is "ą" in CP852, and no UTF-8
    RenderRun r = once();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u) << r.err << cups.logTail();
    // The first 31 characters of the path, the last of them whole.
    EXPECT_EQ(jobs[0].title, (dir.path() + "/a/\xc4\x85.prn").substr(0, dir.path().size() + 8));
    EXPECT_EQ(QString::fromStdString(jobs[0].title).size(), 31);
    const auto listed = CupsScheduler::run({"lpstat", "-W", "all", "-o", "capture"});
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    EXPECT_NE(listed.output.find("capture-" + std::to_string(jobs[0].id)), std::string::npos) << listed.output;
}

TEST_F(Watch, AFullTemporaryFolderHoldsTheFileWithOneMessageUntilSpaceIsBack)
{
    configure({dir.file("a/*.prn")}, 2);
    drop("a/job.prn", "CZEKA-NA-MIEJSCE");
    const std::string tmp = dir.file("tmp");
    fs::create_directories(tmp);
    env["TMPDIR"] = qs(tmp);
    auto watcher = startWatcherAfter("mount -t tmpfs -o size=64k tmpfs '" + tmp + "' && head -c 1M /dev/zero > '"
                                     + tmp + "/filler' 2>/dev/null; ");
    if (!watcher)
        GTEST_SKIP() << "no user and mount namespaces here for a small full file system";
    QString said = waitForSaying(*watcher, "Brak miejsca", 15000);
    said += waitForSaying(*watcher, "never said", 5000); // two more tries meanwhile
    EXPECT_EQ(said.count("Brak miejsca na dysku w folderze " + qs(tmp)), 1) << said.toStdString();
    EXPECT_FALSE(said.contains("cannot")) << "in Polish: " << said.toStdString();
    EXPECT_TRUE(fs::exists(dir.file("a/job.prn")));
    EXPECT_FALSE(fs::exists(dir.file("a/job.prn.failed")));
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 10).empty());

    fs::remove("/proc/" + std::to_string(watcher->processId()) + "/root" + tmp + "/filler");
    auto jobs = cups.waitForJobs("capture", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << watcher->readAllStandardError().toStdString();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("CZEKA-NA-MIEJSCE"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("a/job.prn")));
    watcher->kill();
    watcher->waitForFinished();
}

TEST_F(Watch, AFullSpoolDiskHoldsTheFileWithOneMessageUntilSpaceIsBack)
{
    const std::string spool = dir.file("s");
    fs::create_directories(spool);
    configure({spool + "/*.prn"}, 2);
    // Every inode of the spool folder's file system taken, after the spool file.
    auto watcher = startWatcherAfter("mount -t tmpfs -o size=1m,nr_inodes=16 tmpfs '" + spool + "' && printf CZEKA-W-FOLDERZE > '"
                                     + spool + "/job.prn' && i=0; while touch '" + spool + "/f'$i 2>/dev/null; do i=$((i+1)); done; ");
    if (!watcher)
        GTEST_SKIP() << "no user and mount namespaces here for a small full file system";
    const std::string inside = "/proc/" + std::to_string(watcher->processId()) + "/root" + spool;
    QString said = waitForSaying(*watcher, "Brak miejsca", 15000);
    said += waitForSaying(*watcher, "never said", 5000); // two more polls meanwhile
    EXPECT_EQ(said.count("Brak miejsca na dysku w folderze " + qs(spool)), 1) << said.toStdString();
    EXPECT_TRUE(fs::exists(inside + "/job.prn"));
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 10).empty());

    for (int i = 0; i < 4; ++i)
        fs::remove(inside + "/f" + std::to_string(i));
    auto jobs = cups.waitForJobs("capture", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u) << watcher->readAllStandardError().toStdString();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("CZEKA-W-FOLDERZE"), std::string::npos);
    EXPECT_FALSE(fs::exists(inside + "/job.prn"));
    watcher->kill();
    watcher->waitForFinished();
}

TEST_F(Watch, APdfIsKeptAsFailedAndAnEmptyFileRemovedWithoutAJob)
{
    configure({dir.file("a/*.prn")});
    const std::string pdf = "%PDF-1.4\n" + std::string(5000, 'x') + "\n%%EOF\n";
    drop("a/RAPORT.PRN", pdf);
    drop("a/pusty.prn", "");
    RenderRun r = once();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Plik " + dir.file("a/RAPORT.PRN") + " nie jest wydrukiem DOS (dokument PDF); zachowano go jako "
                         + dir.file("a/RAPORT.PRN.failed")),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(dir.file("a/pusty.prn") + " jest pusty"), std::string::npos) << r.err;
    auto kept = readFile(dir.file("a/RAPORT.PRN.failed"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), pdf);
    EXPECT_FALSE(fs::exists(dir.file("a/pusty.prn")));
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 1000).empty()) << "nothing printed";
}
