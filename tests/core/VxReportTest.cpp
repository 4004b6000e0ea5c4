#include "posix/PosixFileAccess.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "FakePrinter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

// Progress hooks that log what they are asked and cancel when told to.
class ScriptedProgress : public ReportProgress {
public:
    std::vector<std::string> log;
    int cancelAtPump = 0; // the n-th message pump sees a cancel press
    int pumps = 0;
    bool cancel = false;
    int cursorDepth = 0;
    std::vector<std::string> errorBoxes;

    void setCaption(const std::string& c) override { log.push_back("caption " + c); }
    void setButtonText(const std::string& t) override { log.push_back("button " + t); }
    void setPageLabel(const std::string& l) override { log.push_back("label " + l); }
    void show() override
    {
        log.push_back("show");
        cancel = false;
    }
    void hide() override { log.push_back("hide"); }
    bool cancelRequested() const override { return cancel; }
    void processPendingMessages() override
    {
        if (++pumps == cancelAtPump)
            cancel = true;
    }
    void beginWaitCursor() override
    {
        ++cursorDepth;
        log.push_back("wait cursor");
    }
    void endWaitCursor() override
    {
        --cursorDepth;
        log.push_back("cursor back");
    }
    void showErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
};

class TestError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "ETestError"; }
};

struct Fixture {
    Fixture() : files(dir.path()), report(printer, files, progress)
    {
        report.ReportFile = "preview.vxr";
    }

    // A handler that writes "page N" on each page and stops after count pages.
    void pages(int count, int throwOn = 0)
    {
        report.OnPaintPage = [count, throwOn, this](TVxReport& sender, TVxCanvas& canvas, bool& stop) {
            ++painted;
            if (sender.PageNo() == throwOn)
                throw TestError("boom");
            std::string text = "page " + std::to_string(sender.PageNo());
            int32_t dx[16];
            std::fill_n(dx, 16, 254);
            canvas.handle().extTextOutA({0, 423}, 0, nullptr, text, {dx, text.size()});
            stop = sender.PageNo() >= count;
        };
    }

    std::string storePath() const { return dir.file("preview.vxr"); }

    TempDir dir;
    FakePrinter printer;
    PosixFileAccess files;
    ScriptedProgress progress;
    TVxReport report;
    int painted = 0;
};

int32_t i32At(const std::vector<uint8_t>& b, size_t at)
{
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16
                   | uint32_t(b[at + 3]) << 24);
}

} // namespace

TEST(VxReport, PropertiesAfterConstructionAndSetters)
{
    Fixture f;
    TVxReport& r = f.report;
    EXPECT_EQ(r.PrintDestination(), vxPreviewer);
    EXPECT_EQ(r.PaperFormat(), pfA4);
    EXPECT_EQ(r.PaperOrient, vxPortrait);
    EXPECT_EQ(r.PaperWidth(), 21000);
    EXPECT_EQ(r.PaperLength(), 29700);
    EXPECT_EQ(r.MargLeft + r.MargTop + r.MargRight + r.MargBottom, 0);
    EXPECT_TRUE(r.ShowPrintProgress);
    EXPECT_TRUE(r.PagesAsDocs);
    EXPECT_FALSE(r.StoreToFiles);
    EXPECT_TRUE(r.MarginsTuned);
    EXPECT_EQ(r.PageNo(), 0);
    EXPECT_EQ(r.Version(), "2007.05.30");
    r.SetVersion("1999");
    EXPECT_EQ(r.Version(), "2007.05.30");

    r.SetPaperWidth(1000);
    EXPECT_EQ(r.PaperWidth(), 21000);
    r.SetPaperFormat(pfA5);
    EXPECT_EQ(r.PaperWidth(), 14800);
    EXPECT_EQ(r.PaperLength(), 21000);
    r.SetPaperFormat(pfUser);
    EXPECT_EQ(r.PaperWidth(), 14800);
    r.SetPaperWidth(1000);
    r.SetPaperLength(2000);
    EXPECT_EQ(r.PaperWidth(), 1000);
    EXPECT_EQ(r.PaperLength(), 2000);
}

TEST(VxReport, PageStoreLayout)
{
    Fixture f;
    f.report.MargLeft = 300;
    f.report.MargTop = 7;
    f.report.MargRight = 11;
    f.report.MargBottom = 13;
    f.report.PaperOrient = vxLandscape;
    f.pages(3);
    ASSERT_TRUE(f.report.Run()) << f.report.ErrorMessage();
    EXPECT_EQ(f.report.PageNo(), 3);
    EXPECT_TRUE(f.report.PageIndex.empty());

    auto bytes = readFile(f.storePath());
    ASSERT_GT(bytes.size(), 133u);
    std::string magic(bytes.end() - 15, bytes.end());
    EXPECT_EQ(magic, "TVxReport-Ver-1");
    EXPECT_EQ(i32At(bytes, bytes.size() - 19), 3);
    size_t index = bytes.size() - 19 - 3 * 38;
    int64_t offset = 0;
    for (int page = 1; page <= 3; ++page) {
        size_t r = index + size_t(page - 1) * 38;
        EXPECT_EQ(i32At(bytes, r), page);
        EXPECT_EQ(bytes[r + 4], 'L');
        EXPECT_EQ(bytes[r + 5], 1);          // A4
        EXPECT_EQ(i32At(bytes, r + 6), 300); // left, right, top, bottom
        EXPECT_EQ(i32At(bytes, r + 10), 11);
        EXPECT_EQ(i32At(bytes, r + 14), 7);
        EXPECT_EQ(i32At(bytes, r + 18), 13);
        EXPECT_EQ(i32At(bytes, r + 22), 21000); // not swapped for landscape
        EXPECT_EQ(i32At(bytes, r + 26), 29700);
        int32_t size = i32At(bytes, r + 30);
        EXPECT_EQ(i32At(bytes, r + 34), offset);
        // Each picture is an EMF whose header states its size, framed as the landscape sheet.
        EXPECT_EQ(i32At(bytes, size_t(offset) + 48), size);
        EXPECT_EQ(i32At(bytes, size_t(offset) + 24 + 8), 29700);
        EXPECT_EQ(i32At(bytes, size_t(offset) + 24 + 12), 21000);
        offset += size;
    }
    EXPECT_EQ(int64_t(bytes.size()), offset + 114 + 4 + 15);
    EXPECT_EQ(f.progress.log.front(), "caption Tworzenie raportu");
    EXPECT_EQ(f.progress.log[1], "button Przerwij ...");
    EXPECT_EQ(f.progress.log.back(), "hide");
}

TEST(VxReport, OneCallThatStopsGivesOnePageInBothDestinations)
{
    Fixture f;
    f.pages(1);
    ASSERT_TRUE(f.report.Run());
    auto bytes = readFile(f.storePath());
    EXPECT_EQ(i32At(bytes, bytes.size() - 19), 1);

    f.report.SetPrintDestination(vxPrinter);
    ASSERT_TRUE(f.report.Run()) << f.report.ErrorMessage();
    EXPECT_EQ(f.printer.pages.size(), 1u);
    EXPECT_FALSE(f.printer.open);
}

TEST(VxReport, CancelKeepsTheFinishedPagesInAValidStore)
{
    Fixture f;
    f.pages(10);
    f.progress.cancelAtPump = 4; // pressed while page 3 is painted: seen before page 4
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_UserAbort");
    EXPECT_EQ(f.report.ErrorMessage(), "Tworzenie raportu przerwane przez użytkownika");
    EXPECT_EQ(f.painted, 4); // page 4 is still painted and written
    auto bytes = readFile(f.storePath());
    EXPECT_EQ(i32At(bytes, bytes.size() - 19), 3);
    f.report.ShowError();
    EXPECT_TRUE(f.progress.errorBoxes.empty()) << "a cancel is silent";
    EXPECT_EQ(f.progress.log.back(), "hide");

    ASSERT_TRUE(f.report.OpenPageStore());
    EXPECT_EQ(f.report.PageCount, 3);
}

TEST(VxReport, HandlerErrorIsWrappedWithThePageNumber)
{
    Fixture f;
    f.pages(5, 2);
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_PageDrawing");
    EXPECT_EQ(f.report.ErrorMessage(),
              "Błąd w procedurze rysowania strony nr 2.\r\nSzczegóły błędu: boom (ETestError)");
    auto bytes = readFile(f.storePath());
    EXPECT_EQ(i32At(bytes, bytes.size() - 19), 1);

    f.report.ShowError();
    ASSERT_EQ(f.progress.errorBoxes.size(), 1u);
    EXPECT_EQ(f.progress.errorBoxes[0],
              "Podczas tworzenia lub drukowania raportu wystąpił błąd.\r\nSymbol błędu: "
              "EVxReport_PageDrawing\r\n"
                  + f.report.ErrorMessage());

    // While printing fresh pages the handler's own error comes through.
    f.report.SetPrintDestination(vxPrinter);
    f.report.ShowPrintProgress = false;
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "ETestError");
    EXPECT_EQ(f.progress.cursorDepth, 0);
    EXPECT_FALSE(f.printer.open) << "the document begun is aborted";
}

TEST(VxReport, MissingFileOrHandler)
{
    Fixture f;
    f.pages(1);
    f.report.ReportFile = "   ";
    EXPECT_FALSE(f.report.BuildPageStore());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_FileNotDefined");
    EXPECT_EQ(f.report.ErrorMessage(), "Nie określono pliku raportu.");
    EXPECT_TRUE(std::filesystem::is_empty(f.dir.path()));
    EXPECT_TRUE(f.progress.log.empty()) << "fails before anything is shown";

    f.report.ReportFile = "preview.vxr";
    f.report.OnPaintPage = nullptr;
    EXPECT_FALSE(f.report.BuildPageStore());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_NoPaintEvent");
    EXPECT_FALSE(f.report.PrintPages(false, 0, 0));
    EXPECT_EQ(f.report.ErrorMessage(), "Nie określono zdarzenia OnPaintPage.");
}

TEST(VxReport, StoreThatCannotBeCreatedExclusively)
{
    Fixture f;
    f.pages(1);
    ASSERT_TRUE(f.report.Run());
    OpenFailure failure;
    auto reader = f.files.openDenyWrite(f.storePath(), failure);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_CreateFileFailed");
    EXPECT_EQ(f.report.ErrorMessage(),
              "Nie można utworzyć pliku\r\n" + f.storePath() + "\r\nw trybie dostępu wyłącznego");
    reader.reset();
    EXPECT_TRUE(f.report.Run()) << "the store that was shown is intact and can be replaced";

    f.report.ReportFile = f.dir.file("no/such/folder/x.vxr");
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_CreateFileFailed");
}

TEST(VxReport, ReportFilePathRule)
{
    Fixture f;
    EXPECT_EQ(f.report.resolvedReportFile(), f.dir.path() + "/preview.vxr");
    f.report.ReportFile = "sub/x.vxr";
    EXPECT_EQ(f.report.resolvedReportFile(), "sub/x.vxr");
    f.report.ReportFile = "/abs/x.vxr";
    EXPECT_EQ(f.report.resolvedReportFile(), "/abs/x.vxr");
}

TEST(VxReport, StoreToFilesWritesNumberedPicturesInTheProgramFolder)
{
    Fixture f;
    TempDir other;
    f.report.ReportFile = other.file("store.vxr");
    f.report.StoreToFiles = true;
    f.pages(2);
    ASSERT_TRUE(f.report.Run());
    auto page2 = readFile(f.dir.file("Page0002.emf"));
    ASSERT_FALSE(page2.empty());
    EXPECT_EQ(size_t(i32At(page2, 48)), page2.size());
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("Page0001.emf")));
    EXPECT_FALSE(std::filesystem::exists(other.file("Page0001.emf")));
}

TEST(VxReportPrinting, DocumentsPerPageAndOrientationChanges)
{
    Fixture f;
    f.report.SetPrintDestination(vxPrinter);
    f.report.ReportTitle = "/home/user/DOSPRN/a-rather-long-spool-file-name.prn";
    f.pages(3);
    ASSERT_TRUE(f.report.Run());
    EXPECT_EQ(f.printer.documents.size(), 3u) << "PagesAsDocs: one document per page";
    EXPECT_EQ(f.printer.title, "/home/user/DOSPRN/a-rather-long");
    EXPECT_EQ(f.printer.title.size(), 31u);
    EXPECT_EQ(f.progress.log.front(), "caption Drukowanie");

    Fixture g;
    g.report.SetPrintDestination(vxPrinter);
    g.report.PagesAsDocs = false;
    // Pages 1 and 2 portrait, 3 landscape, 4 landscape, 5 portrait.
    g.report.OnPaintPage = [](TVxReport& r, TVxCanvas&, bool& stop) {
        r.PaperOrient = (r.PageNo() == 2 || r.PageNo() == 3) ? vxLandscape : vxPortrait;
        stop = r.PageNo() == 5;
    };
    ASSERT_TRUE(g.report.Run());
    ASSERT_EQ(g.printer.documents.size(), 3u);
    EXPECT_EQ(g.printer.documents[0].size(), 2u);
    EXPECT_EQ(g.printer.documents[1].size(), 2u);
    EXPECT_EQ(g.printer.pages[2].orientation, PrinterOrientation::Landscape);
    EXPECT_EQ(g.printer.pages[4].orientation, PrinterOrientation::Portrait);
}

TEST(VxReportPrinting, PrinterRefusals)
{
    struct Case {
        const char* name;
        std::function<void(FakePrinter&)> setUp;
        bool pagesAsDocs;
        const char* error;
    };
    const Case cases[] = {
        {"first begin", [](FakePrinter& p) { p.refuseBegin = true; }, true, "EVxReport_BeginDocFirst"},
        {"next begin", [](FakePrinter& p) { p.refuseBeginAt = 2; }, true, "EVxReport_BeginDocNext"},
        {"end between documents", [](FakePrinter& p) { p.refuseEnd = true; }, true, "EVxReport_EndDoc"},
        {"last end", [](FakePrinter& p) { p.refuseEnd = true; }, false, "EVxReport_EndDoc"},
        {"new page", [](FakePrinter& p) { p.refuseNewPage = true; }, false, "EVxReport_NewPage"},
        {"no surface", [](FakePrinter& p) { p.metrics.reset(); }, false, "EVxReport_PrintMetaPage"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.report.SetPrintDestination(vxPrinter);
        f.report.PagesAsDocs = c.pagesAsDocs;
        f.pages(2);
        c.setUp(f.printer);
        EXPECT_FALSE(f.report.Run()) << c.name;
        EXPECT_EQ(f.report.ErrorClassName(), c.error) << c.name;
        EXPECT_EQ(f.report.ErrorMessage(), "Błąd zgłoszony przez drukarkę.") << c.name;
        EXPECT_FALSE(f.printer.open) << c.name << ": nothing is left open";
        EXPECT_EQ(f.progress.log.back(), "hide") << c.name;
    }
}

TEST(VxReportPrinting, CancelIsSeenOncePerPageAndAbortsTheDocument)
{
    Fixture f;
    f.report.SetPrintDestination(vxPrinter);
    f.report.PagesAsDocs = false;
    f.pages(10);
    f.progress.cancelAtPump = 3;
    EXPECT_FALSE(f.report.Run());
    EXPECT_EQ(f.report.ErrorClassName(), "EVxReport_UserAbort");
    EXPECT_EQ(f.painted, 3);
    EXPECT_EQ(f.printer.calls.back(), "abort");
}

TEST(VxReportPrinting, MarginsTunedMovesThePageToThePrintableEdge)
{
    for (bool tuned : {true, false}) {
        Fixture f;
        f.report.SetPrintDestination(vxPrinter);
        f.report.MargLeft = 300;
        f.report.MarginsTuned = tuned;
        f.printer.metrics->offsetX = 100; // 600 dpi: 423 units
        f.pages(1);
        ASSERT_TRUE(f.report.Run()) << f.report.ErrorMessage();
        ASSERT_EQ(f.printer.surface.texts.size(), 1u);
        EXPECT_EQ(f.printer.surface.texts[0].ref.x, tuned ? 0 : -123);
        EXPECT_EQ(f.printer.surface.windowExt, (Size{2540, 2540}));
        EXPECT_EQ(f.printer.surface.viewportExt, (Size{600, 600}));
    }
}

TEST(VxReportPrinting, StoredPagesKeepTheirOwnMarginsAndOrientation)
{
    Fixture f;
    f.report.PagesAsDocs = false;
    // Six pages; page 3 landscape with margin 3000, page 4 and 5 portrait with 4000 and 5000.
    f.report.OnPaintPage = [](TVxReport& r, TVxCanvas& c, bool& stop) {
        int n = r.PageNo();
        std::string text = "p" + std::to_string(n);
        int32_t dx[4] = {254, 254, 254, 254};
        c.handle().extTextOutA({0, 423}, 0, nullptr, text, {dx, text.size()});
        r.PaperOrient = n == 2 ? vxLandscape : vxPortrait; // applies to the next page
        r.MargLeft = (n + 1) * 1000;
        stop = n == 6;
    };
    ASSERT_TRUE(f.report.Run());
    ASSERT_TRUE(f.report.OpenPageStore());
    ASSERT_EQ(f.report.PageCount, 6);

    // As the preview's print command does it: the first page's settings beforehand.
    const TVxPageRecord& first = f.report.PageIndex[2];
    f.report.MargLeft = first.MargLeft;
    f.report.MargTop = first.MargTop;
    f.report.PaperOrient = first.Orientation == 'P' ? vxPortrait : vxLandscape;
    f.report.SetPrintDestination(vxPrinter);
    ASSERT_TRUE(f.report.PrintPages(true, 3, 5)) << f.report.ErrorMessage();

    ASSERT_EQ(f.printer.pages.size(), 3u);
    ASSERT_EQ(f.printer.documents.size(), 2u);
    EXPECT_EQ(f.printer.pages[0].orientation, PrinterOrientation::Landscape);
    EXPECT_EQ(f.printer.pages[1].orientation, PrinterOrientation::Portrait);
    EXPECT_EQ(f.printer.documents[1].size(), 2u);
    const auto& texts = f.printer.surface.texts;
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].bytes, "p3");
    EXPECT_EQ(texts[0].ref.x, 3000);
    EXPECT_EQ(texts[1].ref.x, 4000);
    EXPECT_EQ(texts[2].ref.x, 5000);
    // Page 6's values are left behind for the caller to restore.
    EXPECT_EQ(f.report.MargLeft, 6000);
}

TEST(VxReport, AShorterRunReplacesALongerStoreCompletely)
{
    Fixture f;
    f.pages(5);
    ASSERT_TRUE(f.report.Run());
    const size_t longSize = readFile(f.storePath()).size();
    f.pages(1);
    ASSERT_TRUE(f.report.Run());
    auto bytes = readFile(f.storePath());
    EXPECT_LT(bytes.size(), longSize);
    EXPECT_EQ(size_t(i32At(bytes, 0 + 48)) + 38 + 19, bytes.size());
    ASSERT_TRUE(f.report.OpenPageStore());
    EXPECT_EQ(f.report.PageCount, 1);
}

TEST(VxReport, AStoreBeingRewrittenNoLongerLooksComplete)
{
    Fixture f;
    f.pages(2);
    ASSERT_TRUE(f.report.Run());
    std::string reason;
    auto writer = f.files.createExclusive(f.storePath(), reason);
    ASSERT_TRUE(writer);
    // Were the program to die now, the old index must not be taken for a finished store.
    auto bytes = readFile(f.storePath());
    EXPECT_NE(std::string(bytes.end() - 15, bytes.end()), "TVxReport-Ver-1");
}
