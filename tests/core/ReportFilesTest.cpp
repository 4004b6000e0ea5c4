// The report's page store on files that fail, the page picture's records, and the printing of
// stored pages as the preview does it.

#include "gdi/EmfFormat.h"
#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/StoredPagePrinting.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "FailingFiles.h"
#include "FakePrinter.h"
#include "RecordingContext.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

// Shows nothing, but keeps the texts of its error boxes.
class QuietProgress : public SilentProgress {
public:
    void showErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
    std::vector<std::string> errorBoxes;
};

constexpr const char* kStore = "/mem/preview.vxr";

struct Report {
    Report() : report(printer, files, progress)
    {
        report.ReportFile = "preview.vxr";
        // Three pages; page 2 landscape with its own margins.
        report.OnPaintPage = [](TVxReport& r, TVxCanvas& c, bool& stop) {
            const int n = r.PageNo();
            std::string text = "page " + std::to_string(n);
            c.handle().extTextOutA({0, 423}, 0, nullptr, text, {});
            r.PaperOrient = n == 1 ? vxLandscape : vxPortrait; // for the next page
            r.MargLeft = (n + 1) * 1000;
            r.MargTop = (n + 1) * 100;
            stop = n == 3;
        };
    }
    bool storeLooksComplete()
    {
        const auto& b = files.contents[kStore];
        return b.size() >= kPageStoreMagicSize
            && std::equal(b.end() - kPageStoreMagicSize, b.end(), kPageStoreMagic);
    }

    FailingFiles files;
    FakePrinter printer;
    QuietProgress progress;
    TVxReport report;
};

} // namespace

TEST(PageStoreOnFailingFiles, EveryFailedWriteFlushOrCloseFailsTheRunAndLeavesNoEndMarker)
{
    Report clean;
    ASSERT_TRUE(clean.report.BuildPageStore()) << clean.report.ErrorMessage();
    ASSERT_TRUE(clean.storeLooksComplete());
    const int calls = clean.files.operations;
    ASSERT_GE(calls, 7) << "three pictures, index, flush, magic, close";

    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        Report r;
        r.files.failAt = n;
        EXPECT_FALSE(r.report.BuildPageStore());
        ASSERT_EQ(r.files.failed.size(), 1u);
        EXPECT_EQ(r.report.ErrorKind(), ReportError::WriteError) << r.files.failed[0];
        EXPECT_EQ(r.report.ErrorClassName(), "EWriteError");
        EXPECT_EQ(r.report.ErrorMessage(), std::string("Błąd zapisu pliku raportowego ") + kStore);
        EXPECT_FALSE(r.storeLooksComplete()) << "after a failed " << r.files.failed[0];
        EXPECT_FALSE(r.report.OpenPageStore());
        EXPECT_EQ(r.report.ErrorKind(), ReportError::ReadError);
        EXPECT_EQ(r.report.ErrorMessage(), kStoreDamagedMessage);
    }
}

TEST(PageStoreOnFailingFiles, EveryFailedReadFailsWithTheDamagedStoreError)
{
    Report built;
    ASSERT_TRUE(built.report.BuildPageStore());
    const auto store = built.files.contents[kStore];

    // Opening reads the trailer and the index; printing pages 1 to 3 reads one picture each.
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE("failing read " + std::to_string(n));
        Report r;
        r.files.contents[kStore] = store;
        r.files.failAt = r.files.operations + n;
        const bool opened = r.report.OpenPageStore();
        const bool printed = opened && r.report.PrintPages(true, 1, 3);
        EXPECT_FALSE(printed);
        ASSERT_EQ(r.files.failed, std::vector<std::string>{"read"});
        EXPECT_EQ(r.report.ErrorKind(), ReportError::ReadError);
        EXPECT_EQ(r.report.ErrorClassName(), "EReadError");
        EXPECT_EQ(r.report.ErrorMessage(), kStoreDamagedMessage);
        EXPECT_FALSE(r.printer.printing()) << "a document begun is not left open";
    }
}

TEST(PagePicture, AFontWithEveryFieldDistinctSurvivesRecorderAndPlayer)
{
    LogFont font;
    font.height = -1234;
    font.width = 567;
    font.escapement = 900;
    font.orientation = 450;
    font.weight = 700;
    font.italic = 1;
    font.underline = 2;
    font.strikeOut = 3;
    font.charSet = 4;
    font.outPrecision = 5;
    font.clipPrecision = 6;
    font.quality = 7;
    font.pitchAndFamily = 8;
    font.faceName = u"Łódź Mono";

    EmfRecorder recorder(Size{21000, 29700});
    recorder.selectObject(recorder.createFont(font));
    const std::vector<uint8_t>& picture = recorder.finish();

    // The record as the format defines it, field by field.
    ByteReader in({picture.data() + emf::kHeaderSize, picture.size() - emf::kHeaderSize});
    EXPECT_EQ(in.u32(), emf::EMR_EXTCREATEFONTINDIRECTW);
    EXPECT_EQ(in.u32(), emf::kExtCreateFontSize);
    in.u32();
    EXPECT_EQ(emf::readLogFont(in), font);

    // And through the player, at one unit per unit.
    RecordingContext dc;
    ASSERT_TRUE(playEmf(picture, dc, {0, 0}).ok);
    ASSERT_EQ(dc.fonts.size(), 1u);
    EXPECT_EQ(dc.fonts.begin()->second, font);
}

TEST(StoredPagePrinting, TheReportsSettingsAreRestoredAfterPrintingAndAfterAFailure)
{
    Report r;
    ASSERT_TRUE(r.report.BuildPageStore());
    ASSERT_TRUE(r.report.OpenPageStore());
    bool handlerCalled = false;
    const auto check = [&](bool refuse) {
        SCOPED_TRACE(refuse ? "printer refuses" : "printed");
        r.printer.refuseBegin = refuse;
        r.report.SetPrintDestination(vxPreviewer);
        r.report.MargLeft = 11;
        r.report.MargTop = 22;
        r.report.PaperOrient = vxLandscape;
        r.report.OnPaintPage = [&](TVxReport&, TVxCanvas&, bool& stop) { handlerCalled = stop = true; };

        EXPECT_EQ(printStoredPages(r.report, {1, 2}), !refuse);
        EXPECT_EQ(r.report.MargLeft, 11);
        EXPECT_EQ(r.report.MargTop, 22);
        EXPECT_EQ(r.report.PaperOrient, vxLandscape);
        EXPECT_EQ(r.report.PrintDestination(), vxPreviewer);
        ASSERT_TRUE(r.report.OnPaintPage);
        bool stop = false;
        RecordingContext dc;
        TVxCanvas canvas(dc);
        r.report.OnPaintPage(r.report, canvas, stop);
        EXPECT_TRUE(handlerCalled) << "the caller's handler is back";
        handlerCalled = false;
    };
    check(false);
    // Page 1 printed landscape (page 2's orientation was latched while printing).
    ASSERT_GE(r.printer.pages.size(), 2u);
    EXPECT_EQ(r.printer.pages[0].orientation, PrinterOrientation::Portrait);
    EXPECT_EQ(r.printer.pages[1].orientation, PrinterOrientation::Landscape);
    EXPECT_TRUE(r.progress.errorBoxes.empty());
    check(true);
    EXPECT_EQ(r.progress.errorBoxes.size(), 1u);
}
