// The report's display of its page store: the four error boxes, the empty store, the window-state
// words and the store closed however the display ends.

#include "posix/PosixFileAccess.h"
#include "report/ReportProgress.h"
#include "report/ReportViewer.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "FakePrinter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace quillon;
using namespace quillon::test;

namespace {

class BoxProgress : public SilentProgress {
public:
    std::vector<std::string> boxes;
    void showErrorBox(const std::string& text) override { boxes.push_back(text); }
};

class FakeViewer : public ReportViewer {
public:
    std::vector<std::string> calls;
    int pagesSeen = -1;
    bool storeOpenWhileShown = false;
    bool throwWhileShown = false;

    void setViewerState(ViewerWindowState s) override
    {
        const char* names[] = {"unchanged", "normal", "maximized", "minimized"};
        calls.push_back(std::string("state ") + names[int(s)]);
    }
    void prepareFirstShow() override { calls.push_back("first show"); }
    void setViewerCaption(const std::string& c) override { calls.push_back("caption " + c); }
    void showPages(TVxReport& report) override
    {
        calls.push_back("show page " + std::to_string(report.CurrentPage));
        pagesSeen = report.PageCount;
        storeOpenWhileShown = report.pageStoreOpen();
        if (throwWhileShown)
            throw std::runtime_error("the window failed");
    }
};

struct Fixture {
    Fixture() : files(dir.path()), report(printer, files, progress)
    {
        report.ReportFile = "preview.vxr";
        report.ReportTitle = "Raport";
        report.setViewer(&viewer);
    }
    void build(int pages)
    {
        report.OnPaintPage = [pages](TVxReport& r, TVxCanvas&, bool& stop) { stop = r.PageNo() >= pages; };
        ASSERT_TRUE(report.Run()) << report.ErrorMessage();
    }
    TempDir dir;
    FakePrinter printer;
    PosixFileAccess files;
    BoxProgress progress;
    FakeViewer viewer;
    TVxReport report;
};

} // namespace

TEST(ShowReport, ShowsTheStoreFromPageOneInTheStateAskedForAndClosesItAfterwards)
{
    Fixture f;
    f.build(3);
    f.report.CurrentPage = 2;
    f.report.ShowReport("mAxImIzEd");
    EXPECT_EQ(f.viewer.calls, (std::vector<std::string>{"state maximized", "first show", "caption Raport",
                                                         "show page 1"}));
    EXPECT_EQ(f.viewer.pagesSeen, 3);
    EXPECT_TRUE(f.viewer.storeOpenWhileShown);
    EXPECT_FALSE(f.report.pageStoreOpen());
    EXPECT_TRUE(f.progress.boxes.empty());

    f.viewer.calls.clear();
    f.report.ShowReport("Maximised"); // misspelt: the state stays
    EXPECT_EQ(f.viewer.calls.front(), "state unchanged");
    f.viewer.calls.clear();
    f.report.ShowReport("normal");
    EXPECT_EQ(f.viewer.calls.front(), "state normal");

    // A window that fails still leaves the store closed and raises nothing.
    f.viewer.throwWhileShown = true;
    EXPECT_NO_THROW(f.report.ShowReport("Normal"));
    EXPECT_FALSE(f.report.pageStoreOpen());
    EXPECT_EQ(f.progress.boxes, (std::vector<std::string>{"the window failed"}));
}

TEST(ShowReport, EachProblemWithTheStoreHasItsBoxAndNothingIsShown)
{
    Fixture f;
    f.report.ReportFile = "  ";
    f.report.ShowReport("Normal");
    f.report.ReportFile = "missing.vxr";
    f.report.ShowReport("Normal");
    EXPECT_TRUE(f.viewer.calls.empty()) << "the window is not touched before the file is found";

    f.report.ReportFile = "preview.vxr";
    f.build(2);
    const std::string path = f.dir.file("preview.vxr");
    ::chmod(path.c_str(), 0);
    const bool unreadable = ::access(path.c_str(), R_OK) != 0; // root reads anything
    if (unreadable)
        f.report.ShowReport("Normal");
    ::chmod(path.c_str(), 0644);
    std::ofstream(path, std::ios::app) << "junk"; // the magic is no longer at the end
    f.report.ShowReport("Normal");

    std::vector<std::string> expected{"Nie określono pliku raportu.",
                                      "Nie znaleziono pliku raportowego " + f.dir.file("missing.vxr")};
    if (unreadable)
        expected.push_back("Nie można czytać pliku raportowego.");
    expected.push_back("Plik raportowy jest uszkodzony");
    EXPECT_EQ(f.progress.boxes, expected);
    for (const std::string& call : f.viewer.calls)
        EXPECT_EQ(call.rfind("show", 0), std::string::npos) << call;
    EXPECT_FALSE(f.report.pageStoreOpen());
}

TEST(ShowReport, AStoreWithoutPagesShowsNothingAndSaysNothing)
{
    Fixture f;
    f.report.OnPaintPage = [](TVxReport&, TVxCanvas&, bool& stop) { stop = true; };
    ASSERT_TRUE(f.report.BuildPageStore());
    // An empty store: rewrite it with no pages.
    f.report.OnPaintPage = nullptr;
    std::vector<uint8_t> trailer = pageStoreTrailer({});
    std::ofstream(f.dir.file("preview.vxr"), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(trailer.data()), std::streamsize(trailer.size()));
    f.report.ShowReport("Normal");
    EXPECT_TRUE(f.progress.boxes.empty());
    for (const std::string& call : f.viewer.calls)
        EXPECT_EQ(call.rfind("show", 0), std::string::npos) << call;
}
