// Printing on paper: documents handed to a real CUPS scheduler and captured by its backend.

#include "core/TestFiles.h"
#include "CupsTest.h"
#include "PdfTools.h"
#include "RenderProcess.h"

#include "JobSession.h"
#include "PdfPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace quillon::test;

namespace {

class CupsPrinting : public CupsTest {
protected:
    CupsPrinting() : CupsTest({{"capture", true}, {"spare", false}}) {}
};

std::string lines(int n)
{
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += "Wiersz " + std::to_string(i) + "\r\n";
    return s;
}

} // namespace

TEST_F(CupsPrinting, ASpoolFileBecomesOneJobOnTheDefaultPrinter)
{
    // 100 lines at 6 lpi: 70 fit a page of the whole A4 sheet less 4 mm; the printer's margins
    // decide here, so just expect more than one page.
    std::string path = spool("a-rather-long-name-for-a-spool-file.prn", "Zażółć\r\n" + lines(100));
    RenderRun r = runRender({qs(path), "-p"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_EQ(jobs[0].title, path.substr(0, 31));
    auto pages = pdfPages(jobs[0].documentPath);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NEAR(pages[0].width, 595, 1);
    EXPECT_NEAR(pages[0].height, 842, 1);
    std::string text = pdfText(jobs[0].documentPath);
    EXPECT_NE(text.find("Wiersz 1"), std::string::npos);
    EXPECT_NE(text.find("Wiersz 100"), std::string::npos);
    EXPECT_NE(jobs[0].options.find("print-scaling=none"), std::string::npos) << jobs[0].options;
}

TEST_F(CupsPrinting, ANamedPrinterAndALandscapeJob)
{
    std::string path = spool("land.prn", "\x1bX0" + std::string(110, 'x') + "\r\nkoniec");
    RenderRun r = runRender({"-p", "spare", qs(path)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("spare", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u);
    auto pages = pdfPages(jobs[0].documentPath);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].landscape());
    EXPECT_NE(pdfText(jobs[0].documentPath).find(std::string(110, 'x')), std::string::npos);
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 300).empty());
}

TEST_F(CupsPrinting, AnInstanceIsItsQueueWithItsOwnOptions)
{
    // An instance is the client's: the scheduler gets the queue's name, and the instance's options.
    // The instance lives in a home of the test's own.
    const auto home = privateHome();
    const std::string homeVariable = "HOME=" + home.at("HOME").toStdString();
    ASSERT_EQ(CupsScheduler::run({"env", homeVariable, "lpoptions", "-p", "spare/szkic", "-o", "quillon-draft=yes"}).exitCode, 0);
    std::string path = spool("draft.prn", "szkic");
    RenderRun r = runRender({"-p", "spare/szkic", qs(path)}, home);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("spare", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_NE(jobs[0].options.find("quillon-draft=yes"), std::string::npos) << jobs[0].options;
    EXPECT_NE(pdfText(jobs[0].documentPath).find("szkic"), std::string::npos);
}

TEST_F(CupsPrinting, AQueueThatRejectsJobsFailsTheRun)
{
    ASSERT_TRUE(cups.rejectJobs("capture"));
    std::string path = spool("x.prn", "text");
    RenderRun r = runRender({qs(path), "-p"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("EVxReport_EndDoc: Błąd zgłoszony przez drukarkę."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not accepting jobs"), std::string::npos) << r.err;
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 500).empty());
}

TEST_F(CupsPrinting, NoSuchPrinter)
{
    std::string path = spool("x.prn", "text");
    RenderRun r = runRender({"-p", "nowhere", qs(path)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("EVxReport_BeginDocFirst"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nowhere"), std::string::npos) << r.err;
}

TEST_F(CupsPrinting, StoredPagesWithMixedOrientationsBecomeOneJobPerDocument)
{
    // Three pages: a landscape job's store, printed again from page 1 to 3; then a portrait store.
    std::string landStore = dir.file("land.vxr");
    std::string text = "\x1bX0" "strona 1\x0cstrona 2\x0cstrona 3";
    writeFile(dir.file("land.prn"), std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(runRender({qs(dir.file("land.prn")), "-o", qs(landStore)}).exitCode, 0);
    RenderRun r = runRender({qs(landStore), "--pages", "2-3", "-p"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto jobs = cups.waitForJobs("capture", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u);
    auto pages = pdfPages(jobs[0].documentPath);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].landscape());
    EXPECT_NE(pdfText(jobs[0].documentPath, 1).find("strona 2"), std::string::npos);
    EXPECT_NE(pdfText(jobs[0].documentPath, 2).find("strona 3"), std::string::npos);
}

TEST_F(CupsPrinting, APrinterChosenInTheProgramTakesThePagesAndTheLaterJobs)
{
    // As the print dialog's set-up does it: the session's printer switched to another queue.
    quillon::TSettings settings;
    settings.Preview = false;
    quillon::SilentProgress progress;
    quillon::JobSession session(std::make_unique<quillon::CupsPrinter>(std::string(), quillon::DosCodePage::Cp852),
                                settings, progress, dir.path());
    ASSERT_TRUE(session.printer().selectDefaultPrinter());
    EXPECT_EQ(session.printer().printerName(), "capture");
    EXPECT_FALSE(session.printer().choosePrinter("no-such-queue"));
    EXPECT_EQ(session.printer().printerName(), "capture");
    ASSERT_TRUE(session.printer().choosePrinter("spare"));
    EXPECT_EQ(session.printer().printerName(), "spare");

    // A direct job afterwards selects "the default" again and still lands on the chosen queue.
    const std::string path = spool("after.prn", "po wyborze drukarki");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(session.runSpoolJob(fd, path)) << session.failureText();
    ::close(fd);
    auto jobs = cups.waitForJobs("spare", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_NE(pdfText(jobs[0].documentPath).find("po wyborze drukarki"), std::string::npos);
    EXPECT_TRUE(cups.waitForJobs("capture", 1, 300).empty());
}

TEST_F(CupsPrinting, AJobWhoseUploadWasCutOffIsCancelledAtTheNextStart)
{
    const char* asan = std::getenv("ASAN_OPTIONS");
    RenderRun cut = runRender({qs(spool("first.prn", "Pierwszy\r\n")), "-p"},
                              {{"LD_PRELOAD", QUILLON_CUT_UPLOAD_SHORT},
                               {"ASAN_OPTIONS", QString(asan ? asan : "") + ":verify_asan_link_order=0"}});
    ASSERT_EQ(cut.exitCode, -1) << "killed in the middle of its upload: " << cut.err;
    const auto held = CupsScheduler::run({"lpstat", "-o", "capture"});
    ASSERT_NE(held.output.find("capture-"), std::string::npos) << "CUPS holds the empty job: " << held.output;

    RenderRun next = runRender({qs(spool("second.prn", "Drugi\r\n")), "-p"});
    ASSERT_EQ(next.exitCode, 0) << next.err;
    auto jobs = cups.waitForJobs("capture", 1, 20000);
    ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("Drugi"), std::string::npos);
    EXPECT_TRUE(cups.waitUntilDone("capture", 10000))
        << "no empty job stays: " << CupsScheduler::run({"lpstat", "-o", "capture"}).output;
}

// A print server makes the queue's job as the document starts, so that the scheduler works on it
// while the pages are drawn: the whole document arrives as that one job, and a document that never
// comes to its end takes its job away again.
TEST_F(CupsPrinting, AJobMadeWhileItsPagesAreDrawnGetsTheWholeDocumentOrGoesAgain)
{
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "a whole document" : "a document given up");
        quillon::CupsPrinter printer("capture", quillon::DosCodePage::Cp852);
        printer.setCreateJobEarly(true);
        ASSERT_TRUE(printer.selectDefaultPrinter()) << printer.lastError();
        printer.setDocumentTitle("wczesne");
        ASSERT_TRUE(printer.beginDoc()) << printer.lastError();
        const auto waiting = [] { return CupsScheduler::run({"lpstat", "-o", "capture"}).output; };
        for (int i = 0; i < 100 && waiting().find("capture-") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(waiting().find("capture-"), std::string::npos) << "the job is made before the pages are done";
        ASSERT_TRUE(printer.newPage());
        if (whole) {
            ASSERT_TRUE(printer.endDoc()) << printer.lastError();
            const auto jobs = cups.waitForJobs("capture", 1, 20000);
            ASSERT_EQ(jobs.size(), 1u) << cups.logTail();
            EXPECT_EQ(jobs[0].title, "wczesne");
            EXPECT_EQ(pdfPages(jobs[0].documentPath).size(), 2u);
            EXPECT_EQ(printer.jobs().size(), 1u);
        } else {
            ASSERT_TRUE(printer.abortDoc());
        }
        EXPECT_TRUE(cups.waitUntilDone("capture", 10000)) << "a job stays in the queue: " << waiting();
    }
}
