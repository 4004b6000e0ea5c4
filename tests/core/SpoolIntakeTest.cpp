#include "intake/PrintEngine.h"
#include "escp/PrinterState.h"
#include "intake/SpoolIntake.h"
#include "intake/SpoolPaths.h"
#include "posix/PosixFileAccess.h"
#include "posix/PosixSpoolFiles.h"
#include "report/MainReportDesign.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include "FakePrinter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

// Removal can be made to fail for one folder, as in a folder the user may not write to.
class GuardedFiles : public SpoolFileSystem {
public:
    PosixSpoolFileSystem real;
    std::string noRemoveIn;
    bool failRename = false;
    int opened = 0;

    std::vector<std::string> looked; // the folders listed or reclaimed, in order
    std::vector<SpoolEntry> listMatching(const std::string& d, const std::string& m) override
    {
        looked.push_back(d);
        return real.listMatching(d, m);
    }
    bool diskFull = false; // no claim can be made: the spool folder's disk is full

    std::unique_ptr<SpoolFile> take(const std::string& p, TakeResult& r) override
    {
        if (diskFull) {
            r = TakeResult::NoSpace;
            return nullptr;
        }
        ++opened;
        auto file = real.take(p, r);
        if (afterTake)
            afterTake(p);
        return file;
    }
    std::function<void(const std::string&)> afterTake;
    std::vector<std::unique_ptr<SpoolFile>> reclaim(const std::string& d, const std::string& m) override
    {
        looked.push_back(d);
        return real.reclaim(d, m);
    }
    std::optional<FileIdentity> identityOf(const std::string& p) override { return real.identityOf(p); }
    bool remove(SpoolFile& f) override
    {
        if (!noRemoveIn.empty() && f.identity().path.rfind(noRemoveIn, 0) == 0)
            return false;
        return real.remove(f);
    }
    std::optional<std::string> keepAsFailed(SpoolFile& f) override
    {
        return failRename ? std::nullopt : real.keepAsFailed(f);
    }
    void release(SpoolFile& f) override { real.release(f); }
};

struct Intake {
    explicit Intake(const std::string& dataDir)
        : files(dataDir), engine(settings, printer, files, progress),
          skip(dataDir + "/skipped-spool-files"), intake(engine, spool, skip, hooks(), "/home/nobody")
    {
        settings.Preview = false;
    }

    SpoolIntake::Hooks hooks()
    {
        SpoolIntake::Hooks h;
        h.setTimer = [this](bool on) { timerLog.push_back(on); };
        h.beep = [this] { ++beeps; };
        h.problem = [this](const std::string& m) { problems.push_back(m); };
        h.note = [this](const std::string& m) { notes.push_back(m); };
        h.nowMs = [this] { return clockMs; };
        h.preview = [this](TVxReport&) {
            ++previews;
            if (onPreview)
                onPreview();
        };
        return h;
    }

    // The first text printed on each page, in print order.
    std::vector<std::string> printed() const
    {
        std::vector<std::string> out;
        for (const auto& page : printer.pages)
            if (page.firstText < printer.surface.texts.size())
                out.push_back(printer.surface.texts[page.firstText].bytes);
        return out;
    }

    TSettings settings;
    FakePrinter printer;
    PosixFileAccess files;
    SilentProgress progress;
    PrintEngine engine;
    GuardedFiles spool;
    FileSkipList skip;
    SpoolIntake intake;
    std::vector<bool> timerLog;
    std::vector<std::string> problems;
    std::vector<std::string> notes;
    int64_t clockMs = 1000;
    int beeps = 0;
    int previews = 0;
    std::function<void()> onPreview;
};

void writeSpool(const std::string& path, const std::string& text, int64_t mtimeSec = 0)
{
    writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    if (mtimeSec) {
        struct timespec times[2] = {{mtimeSec, 0}, {mtimeSec, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

} // namespace

TEST(SpoolPaths, FolderAndMaskOfAPattern)
{
    EXPECT_EQ(patternDirectory("/home/ala/DOSPRN/*.prn", "/h"), "/home/ala/DOSPRN");
    EXPECT_EQ(patternMask("/home/ala/DOSPRN/*.prn"), "*.prn");
    EXPECT_EQ(patternDirectory("/*.prn", "/h"), "/");
    EXPECT_EQ(patternDirectory("*.prn", "/h"), "/");
    EXPECT_EQ(patternMask("*.prn"), "*.prn");
    EXPECT_EQ(patternDirectory("~/DOSPRN/*.prn", "/home/ala"), "/home/ala/DOSPRN");
    EXPECT_EQ(withTrailingSlash("/a"), "/a/");
    EXPECT_EQ(withTrailingSlash("/"), "/");
}

TEST(SpoolIntake, OnlyAbsolutePatternsArePolledAndEachOtherIsReportedOnce)
{
    TempDir dir;
    fs::create_directories(dir.file("raporty"));
    fs::create_directories(dir.file("a"));
    writeSpool(dir.file("raporty/r.prn"), "from-the-current-folder");
    writeSpool(dir.file("a/ok.prn"), "absolute");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path()); // where "raporty/*.prn" would resolve
    Intake in(dir.path());
    in.settings.PeekPaths = {"raporty/*.prn", "*", dir.file("a/*.prn"), "quillon-no-such-*.prn"};
    in.intake.TimerTimer();
    in.intake.TimerTimer();
    fs::current_path(before);

    EXPECT_EQ(in.printed(), std::vector<std::string>{"absolute"});
    EXPECT_TRUE(fs::exists(dir.file("raporty/r.prn")));
    for (const std::string& folder : in.spool.looked)
        EXPECT_EQ(folder, dir.file("a")) << "only the absolute pattern's folder is looked into";
    ASSERT_EQ(in.problems.size(), 3u) << "once per pattern, not at every tick";
    EXPECT_EQ(in.problems[0], "Wzorzec folderu „raporty/*.prn” pominięto: nie jest pełną ścieżką. Wzorzec musi się "
                              "zaczynać od „/” albo od „~/” (folder domowy), np. ~/DOSPRN/*.prn.");
    EXPECT_NE(in.problems[1].find("„*”"), std::string::npos);
    EXPECT_NE(in.problems[2].find("„quillon-no-such-*.prn”"), std::string::npos);
}

TEST(SpoolPaths, APatternIsAbsoluteFromTheRootOrTheHomeFolder)
{
    EXPECT_TRUE(isAbsolutePattern("/*.prn"));
    EXPECT_TRUE(isAbsolutePattern("/home/ala/DOSPRN/*.prn"));
    EXPECT_TRUE(isAbsolutePattern("~/DOSPRN/*.prn"));
    EXPECT_FALSE(isAbsolutePattern("*"));
    EXPECT_FALSE(isAbsolutePattern("raporty/*.prn"));
    EXPECT_FALSE(isAbsolutePattern("./x/*.prn"));
    EXPECT_FALSE(isAbsolutePattern("~ala/DOSPRN/*.prn"));
    EXPECT_FALSE(isAbsolutePattern("~"));
    EXPECT_FALSE(isAbsolutePattern(" /x/*.prn"));
}

TEST(SpoolIntake, PatternsAreEmptiedInOrderOldestFirst)
{
    TempDir dir;
    fs::create_directories(dir.file("a"));
    fs::create_directories(dir.file("b"));
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("b/*.prn"), dir.file("a/*.PRN")};
    writeSpool(dir.file("a/new.prn"), "a-new", 3000);
    writeSpool(dir.file("a/old.PRN"), "a-old", 1000);
    writeSpool(dir.file("a/same-z.prn"), "a-same-z", 2000);
    writeSpool(dir.file("a/same-y.prn"), "a-same-y", 2000);
    writeSpool(dir.file("a/other.txt"), "never", 500);
    writeSpool(dir.file("b/only.prn"), "b-only", 9000);

    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), (std::vector<std::string>{"b-only", "a-old", "a-same-y", "a-same-z", "a-new"}));
    EXPECT_EQ(in.beeps, 5);
    EXPECT_FALSE(fs::exists(dir.file("a/old.PRN")));
    EXPECT_TRUE(fs::exists(dir.file("a/other.txt")));
    EXPECT_EQ(in.timerLog, (std::vector<bool>{false, true}));
    EXPECT_FALSE(BusyFlag);
    EXPECT_TRUE(in.problems.empty());
}

TEST(SpoolIntake, MarkersChooseOrientationAndFontSize)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("1.prn"), "\x1bX0\x1bXEland", 1000);
    in.intake.TimerTimer();
    ASSERT_EQ(in.printer.pages.size(), 1u);
    EXPECT_EQ(in.printer.pages[0].orientation, PrinterOrientation::Landscape);
    EXPECT_EQ(in.printer.surface.texts[0].font.height, 282); // 8 pt
    EXPECT_EQ(in.engine.report().ReportTitle, dir.file("1.prn"));
}

TEST(SpoolIntake, AFileStillBeingWrittenWaitsForTheNextTick)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("a.prn"), "older, still open", 1000);
    writeSpool(dir.file("b.prn"), "newer", 2000);
    int writer = ::open(dir.file("a.prn").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    in.intake.TimerTimer();
    EXPECT_TRUE(in.printed().empty()) << "the pattern is left while its oldest file is written";
    EXPECT_TRUE(fs::exists(dir.file("a.prn")));
    ::close(writer);
    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), (std::vector<std::string>{"older, still open", "newer"}));
}

TEST(SpoolIntake, OnlyRegularFilesAreTaken)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    ASSERT_EQ(::mkfifo(dir.file("pipe.prn").c_str(), 0600), 0);
    writeSpool(dir.file("target.txt"), "behind a link", 1000);
    fs::create_symlink(dir.file("target.txt"), dir.file("link.prn"));
    fs::create_directory(dir.file("folder.prn"));
    in.intake.TimerTimer(); // a FIFO opened for reading would block here
    EXPECT_TRUE(in.printed().empty());
    EXPECT_EQ(in.spool.opened, 0);
    EXPECT_TRUE(fs::exists(dir.file("pipe.prn")));
    EXPECT_TRUE(fs::exists(dir.file("target.txt")));
}

TEST(SpoolIntake, AFileThatCannotBeRemovedIsPrintedOnceAcrossRestarts)
{
    TempDir dir;
    fs::create_directories(dir.file("ro"));
    writeSpool(dir.file("ro/x.prn"), "once", 1000);
    writeSpool(dir.file("ro/y.prn"), "also once", 2000);
    {
        Intake in(dir.path());
        in.spool.noRemoveIn = dir.file("ro/");
        in.settings.PeekPaths = {dir.file("ro/*.prn")};
        in.intake.TimerTimer(); // the pass goes on past the file it cannot remove
        in.intake.TimerTimer();
        EXPECT_EQ(in.printed(), (std::vector<std::string>{"once", "also once"}));
        EXPECT_EQ(in.problems.size(), 2u);
    }
    Intake again(dir.path()); // the program started again
    again.spool.noRemoveIn = dir.file("ro/");
    again.settings.PeekPaths = {dir.file("ro/*.prn")};
    again.intake.TimerTimer();
    EXPECT_TRUE(again.printed().empty());

    // A new file under the same name is a new job.
    writeSpool(dir.file("ro/x.prn"), "new contents", 5000);
    again.intake.TimerTimer();
    EXPECT_EQ(again.printed(), (std::vector<std::string>{"new contents"}));
}

TEST(SpoolIntake, AFailedJobKeepsItsDataBesideItself)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    in.printer.refuseBegin = true;
    writeSpool(dir.file("job.prn"), "precious", 1000);
    writeSpool(dir.file("job.prn.failed"), "an older failure", 2000); // never overwritten
    in.intake.TimerTimer();
    EXPECT_FALSE(fs::exists(dir.file("job.prn")));
    auto kept = readFile(dir.file("job.prn.2.failed"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
    auto old = readFile(dir.file("job.prn.failed"));
    EXPECT_EQ(std::string(old.begin(), old.end()), "an older failure");
    ASSERT_EQ(in.problems.size(), 1u);
    EXPECT_NE(in.problems[0].find("EVxReport_BeginDocFirst"), std::string::npos);
    EXPECT_NE(in.problems[0].find("job.prn.2.failed"), std::string::npos);

    // A mask such as "*" finds the kept file too, but it is not taken again.
    in.settings.PeekPaths = {dir.file("*")};
    in.printer.refuseBegin = false;
    in.intake.TimerTimer();
    kept = readFile(dir.file("job.prn.2.failed"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
}

TEST(SpoolIntake, AFailedJobThatCannotBeRenamedIsRemembered)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    in.printer.refuseBegin = true;
    in.spool.failRename = true;
    writeSpool(dir.file("job.prn"), "precious", 1000);
    in.intake.TimerTimer();
    in.intake.TimerTimer();
    EXPECT_EQ(in.printer.begins, 1) << "tried once, not again";
    EXPECT_TRUE(fs::exists(dir.file("job.prn")));
}

TEST(SpoolIntake, PreviewModeShowsEachJobAndSurvivesASettingsChange)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.Preview = true;
    in.settings.PeekPaths = {dir.file("a/*.prn"), dir.file("b/*.prn"), dir.file("c/*.prn")};
    fs::create_directories(dir.file("a"));
    writeSpool(dir.file("a/1.prn"), "one", 1000);
    writeSpool(dir.file("a/2.prn"), "two", 2000);
    // While the first preview is open the user shortens the pattern list.
    in.onPreview = [&] { in.settings.PeekPaths.clear(); };
    in.intake.TimerTimer();
    EXPECT_EQ(in.previews, 2);
    EXPECT_FALSE(fs::exists(dir.file("a/2.prn")));
    EXPECT_EQ(in.printer.pages.size(), 0u) << "preview mode builds the page store";
    EXPECT_TRUE(fs::exists(dir.file("preview.vxr")));
}

TEST(SpoolIntake, ATickDuringAPassDoesNothing)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("1.prn"), "one", 1000);
    writeSpool(dir.file("2.prn"), "two", 2000);
    int nested = 0;
    in.onPreview = [&] {
        ++nested;
        in.intake.TimerTimer(); // the event loop runs while a preview is open
    };
    in.settings.Preview = true;
    in.intake.TimerTimer();
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(in.timerLog, (std::vector<bool>{false, true}));
}

TEST(SpoolIntake, ANewFileUnderTheNameOfOneBeingPrintedIsANewJob)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("x.prn"), "first version", 1000);
    // While the first version prints, its program writes the next one and renames it into place.
    in.spool.afterTake = [&](const std::string& path) {
        in.spool.afterTake = nullptr;
        writeSpool(dir.file("x.tmp"), "second version", 2000);
        fs::rename(dir.file("x.tmp"), path);
    };
    in.intake.TimerTimer();
    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), (std::vector<std::string>{"first version", "second version"}));
    EXPECT_FALSE(fs::exists(dir.file("x.prn")));
    EXPECT_FALSE(fs::exists(dir.file(".quillon-claimed")));
}

// A program killed between making its claim folder and moving the file in leaves an empty claim;
// once it is clearly stale it goes, and with it the claim root.
TEST(SpoolIntake, AnEmptyClaimLeftByAKilledProgramLeavesNoTrace)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    const std::string claim = dir.file(".quillon-claimed/Ab12Cd");
    fs::create_directories(claim);
    in.intake.TimerTimer();
    EXPECT_TRUE(fs::exists(claim)) << "a fresh one may belong to a program about to use it";
    const int64_t old = ::time(nullptr) - 120;
    struct timespec times[2] = {{old, 0}, {old, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, claim.c_str(), times, 0), 0);
    in.intake.TimerTimer();
    EXPECT_FALSE(fs::exists(dir.file(".quillon-claimed")));
}

TEST(SpoolIntake, AnyFileNameSurvivesTheSkipListAcrossRestarts)
{
    TempDir dir;
    const std::string odd = dir.file("a\nb%41 \xff\xfe.prn");
    writeSpool(odd, "nie do usuniecia", 1000);
    const std::string list = dir.file("skipped");
    FileIdentity id;
    {
        PosixSpoolFileSystem files;
        id = *files.identityOf(odd);
        FileSkipList skip(list);
        skip.add(id);
    }
    FileSkipList again(list);
    EXPECT_TRUE(again.contains(id));
    EXPECT_EQ(again.size(), 1u);
    // A list of the older kind, paths as they are, still reads.
    writeFile(list, {'1', ' ', '2', ' ', '3', ' ', '4', ' ', '/', 'x', '%', '4', '1', '\n'});
    FileSkipList old(list);
    EXPECT_TRUE(old.contains({"/x%41", 1, 2, 3, 4}));
}

TEST(SpoolIntake, WithPreviewOffJobsArePrintedAndNeverPreviewed)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("a/*.prn")};
    fs::create_directories(dir.file("a"));
    writeSpool(dir.file("a/1.prn"), "one", 1000);
    in.intake.TimerTimer();
    EXPECT_EQ(in.previews, 0);
    EXPECT_EQ(in.printed(), std::vector<std::string>{"one"});
}

TEST(SpoolIntake, ADocumentOfAnotherKindIsKeptAndAnEmptyFileRemovedWithoutPrinting)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    const std::string pdf = "%PDF-1.7\n1 0 obj << /Type /Catalog >> endobj\n%%EOF\n";
    writeSpool(dir.file("raport.prn"), pdf, 1000);
    writeSpool(dir.file("pusty.prn"), "", 1001);
    writeSpool(dir.file("dos.prn"), "\x1b@MZK Sp. z o.o.\r\n", 1002); // a real stream, whatever it starts with
    in.intake.TimerTimer();

    EXPECT_EQ(in.printed(), std::vector<std::string>{"MZK Sp. z o.o."});
    EXPECT_EQ(in.beeps, 1);
    auto kept = readFile(dir.file("raport.prn.failed"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), pdf);
    EXPECT_FALSE(fs::exists(dir.file("raport.prn")));
    EXPECT_FALSE(fs::exists(dir.file("pusty.prn")));
    ASSERT_EQ(in.problems.size(), 1u);
    EXPECT_EQ(in.problems[0], "Plik " + dir.file("raport.prn") + " nie jest wydrukiem DOS (dokument PDF); zachowano go jako "
                                  + dir.file("raport.prn.failed") + ".");
    ASSERT_EQ(in.notes.size(), 1u);
    EXPECT_NE(in.notes[0].find(dir.file("pusty.prn") + " jest pusty"), std::string::npos) << in.notes[0];
}

TEST(SpoolIntake, AFullSpoolDiskHoldsTheFilesWithOneMessageUntilSpaceIsBack)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("job.prn"), "Wiersz\r\n", 1000);
    in.spool.diskFull = true;
    for (int tick = 0; tick < 3; ++tick)
        in.intake.TimerTimer();
    EXPECT_TRUE(fs::exists(dir.file("job.prn")));
    EXPECT_EQ(in.printer.begins, 0);
    ASSERT_EQ(in.problems.size(), 1u);
    EXPECT_EQ(in.problems[0].rfind("Brak miejsca na dysku w folderze " + dir.path() + ":", 0), 0u) << in.problems[0];

    in.spool.diskFull = false;
    in.intake.TimerTimer();
    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), std::vector<std::string>{"Wiersz"});
    EXPECT_FALSE(fs::exists(dir.file("job.prn")));
    ASSERT_EQ(in.problems.size(), 2u);
    EXPECT_NE(in.problems[1].find("jest znowu miejsce"), std::string::npos) << in.problems[1];
}

TEST(SpoolIntake, AFullTemporaryDiskHoldsTheJobWithOnePolishMessageUntilSpaceIsBack)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    writeSpool(dir.file("job.prn"), "Wiersz\r\n", 1000);
    in.printer.fullFolder = "/tmp";
    for (int tick = 0; tick < 4; ++tick) {
        in.intake.TimerTimer();
        in.clockMs += 60 * 1000;
    }
    EXPECT_TRUE(fs::exists(dir.file("job.prn"))) << "the file waits where it was";
    EXPECT_FALSE(fs::exists(dir.file("job.prn.failed")));
    EXPECT_GE(in.printer.begins, 2) << "tried again";
    ASSERT_EQ(in.problems.size(), 1u);
    EXPECT_EQ(in.problems[0], "Brak miejsca na dysku w folderze /tmp na dokument do druku; plik " + dir.file("job.prn")
                                  + " czeka na wydruk, drukowanie wznowi się, gdy zwolni się miejsce.");

    in.printer.fullFolder.clear();
    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), std::vector<std::string>{"Wiersz"});
    EXPECT_FALSE(fs::exists(dir.file("job.prn")));
    ASSERT_EQ(in.problems.size(), 2u);
    EXPECT_NE(in.problems[1].find("wydruki są wznowione"), std::string::npos);
}

// While the print service stays away the pause between tries doubles up to five minutes, and no
// tick before its end tries again; once the service is back the pause is over.
TEST(SpoolIntake, ThePauseWhileThePrintServiceIsAwayGrowsToItsCap)
{
    TempDir dir;
    Intake in(dir.path());
    in.settings.PeekPaths = {dir.file("*.prn")};
    in.settings.PollingFreq = 3;
    writeSpool(dir.file("job.prn"), "Wiersz\r\n", 1000);
    in.printer.serviceDown = true;
    std::vector<int64_t> pauses;
    for (int tries = 0; tries < 10; ++tries) {
        in.intake.TimerTimer();
        ASSERT_EQ(in.printer.begins, tries + 1) << "one try per pause";
        pauses.push_back(in.intake.retryPauseMs());
        in.clockMs += pauses.back() - 1;
        in.intake.TimerTimer(); // a tick just before the pause ends
        EXPECT_EQ(in.printer.begins, tries + 1) << "tried again before the pause ended";
        in.clockMs += 1;
    }
    EXPECT_EQ(pauses, (std::vector<int64_t>{3000, 6000, 12000, 24000, 48000, 96000, 192000, 300000, 300000, 300000}));
    EXPECT_TRUE(fs::exists(dir.file("job.prn")));
    EXPECT_EQ(in.problems.size(), 1u) << "said once while it lasts";

    in.printer.serviceDown = false;
    in.intake.TimerTimer();
    EXPECT_EQ(in.printed(), std::vector<std::string>{"Wiersz"});
    EXPECT_EQ(in.intake.retryPauseMs(), 0);
}

// A file is claimed before its job reads it: it leaves its name for a claim folder of its own, so
// another program on the same folder cannot take it meanwhile, and a file written under the same
// name is a new job.
TEST(SpoolIntake, ATakenFileIsMovedIntoItsClaimBeforeItIsRead)
{
    TempDir dir;
    writeSpool(dir.file("job.prn"), "Wiersz\r\n", 1000);
    PosixSpoolFileSystem mine;
    PosixSpoolFileSystem another; // another program polling the same folder
    TakeResult result = TakeResult::Unreadable;
    auto file = mine.take(dir.file("job.prn"), result);
    ASSERT_TRUE(file);
    ASSERT_EQ(result, TakeResult::Taken);
    EXPECT_FALSE(fs::exists(dir.file("job.prn"))) << "read where it stands, not claimed";
    std::vector<std::string> claimed;
    for (const auto& claim : fs::directory_iterator(dir.file(".quillon-claimed")))
        for (const auto& f : fs::directory_iterator(claim.path()))
            claimed.push_back(f.path().filename().string());
    EXPECT_EQ(claimed, std::vector<std::string>{"job.prn"});
    EXPECT_FALSE(another.take(dir.file("job.prn"), result));
    EXPECT_EQ(result, TakeResult::Gone);
    EXPECT_TRUE(another.reclaim(dir.path(), "*.prn").empty()) << "a running job's claim is locked";

    EXPECT_EQ(file->identity().path, dir.file("job.prn")) << "known by the name it was found under";
    char text[8] = {};
    EXPECT_EQ(file->readAt(0, text, sizeof text), 8u);
    ASSERT_TRUE(mine.remove(*file));
    EXPECT_FALSE(fs::exists(dir.file(".quillon-claimed")));
}
