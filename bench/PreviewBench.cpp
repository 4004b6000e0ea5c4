// How fast the preview window shows a page and scrolls it, and whether paging through a large store
// keeps its memory flat.
//
// A store of N dense pages (66 lines of 80 columns, CP852 text and box drawing, mixed pitches) is
// made with the print engine from a generated spool stream, then shown in the preview window on the
// offscreen platform at 1920 x 1080:
//  - page change: from the Next command to the finished repaint of the sheet at fit width;
//  - scroll step: one Down key at 500 %, from the key to the finished repaint of what it uncovered;
//  - memory: the resident set while every page of the store is shown once, in order.
// It measures and reports; it never judges the times.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "Measure.h"
#include "SpoolGenerator.h"
#include "WorkFolder.h"

#include "JobSession.h"
#include "PageStoreDocument.h"
#include "PreviewForm.h"
#include "ScrollBoxEx.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quillon;
using namespace quillon::bench;

namespace {

constexpr int kDefaultPages = 10000;
constexpr int kSamples = 200;

struct Options : RunOptions {
    bool noMemory = false;
};

Options parseOptions(int argc, char** argv)
{
    Options o;
    o.pages = kDefaultPages;
    std::vector<BenchOption> rows =
        runOptionRows(o, "pages in the store; the memory pass shows every one", "keep the page store in DIR",
                      "timing rounds of " + std::to_string(kSamples) + " samples each");
    rows.push_back({"--no-memory", &o.noMemory, "leave out the pass through every page"});
    parseBenchOptions("quillon-bench-preview", argc, argv, rows);
    return o;
}

double milliseconds(Clock::time_point start)
{
    return secondsSince(start) * 1000.0;
}

// A store of pages pages made from generated spool text at storePath; false, said, when not.
bool makeStore(int pages, const WorkFolder& folder, const std::string& storePath)
{
    SpoolGenerator generator;
    SpoolStream stream = generator.generate(pages);
    TSettings settings;
    settings.Preview = true;
    SheetOnlyPrinter printer(21000, 29700);
    MemoryByteSource source(stream.bytes);
    SilentProgress silent;
    JobSession session(printer, settings, silent, folder.path());
    session.report().ReportFile = storePath;
    const auto start = Clock::now();
    if (!session.engine().runJob(source, std::string_view(stream.bytes).substr(0, 16), "bench.prn")) {
        fail(session.report().ErrorMessage());
        return false;
    }
    std::printf("store of %d pages made in %.2f s\n", pages, secondsSince(start));
    return true;
}

// Page changes at fit width, between the first pages of the store.
void measurePageChanges(TPreviewForm& form, int count)
{
    std::vector<double> change;
    for (int i = 0; i < kSamples; ++i) {
        const int paints = form.sheetPaints();
        const auto start = Clock::now();
        if (form.CurrentPage >= std::min(count, 20))
            form.sbPageNavigFirstClick();
        else
            form.sbPageNavigNextClick();
        change.push_back(milliseconds(start));
        if (form.sheetPaints() == paints)
            std::fprintf(stderr, "warning: a page change painted nothing\n");
    }
    reportSpread("page change, fit width", change);
}

// Scroll steps at 500 %, down the page and back up.
void measureScrolling(TPreviewForm& form)
{
    form.DopasujItems[2]->trigger();
    QApplication::processEvents();
    std::vector<double> scroll;
    int direction = Qt::Key_Down;
    QScrollBar* bar = form.ScrollBox->verticalScrollBar();
    for (int i = 0; i < kSamples; ++i) {
        if (bar->value() >= bar->maximum())
            direction = Qt::Key_Up;
        else if (bar->value() <= bar->minimum())
            direction = Qt::Key_Down;
        QKeyEvent press(QEvent::KeyPress, direction, Qt::NoModifier);
        const auto start = Clock::now();
        QApplication::sendEvent(form.ScrollBox, &press);
        scroll.push_back(milliseconds(start));
    }
    reportSpread("scroll step, 500 %", scroll);
    form.DopasujItems[0]->trigger();
    QApplication::processEvents();
}

// Memory while every page is shown once.
void measureMemory(TPreviewForm& form, const PageStoreDocument& document, int count)
{
    form.sbPageNavigFirstClick();
    QApplication::processEvents();
    const int64_t startKiB = residentKiB();
    int64_t highKiB = startKiB;
    const int step = std::max(1, count / 10);
    std::printf("resident set while paging through %d pages (KiB):", count);
    const auto start = Clock::now();
    for (int page = 2; page <= count; ++page) {
        form.sbPageNavigNextClick();
        if (page % 64 == 0)
            QApplication::processEvents();
        const int64_t now = residentKiB();
        highKiB = std::max(highKiB, now);
        if (page % step == 0)
            std::printf(" %lld", (long long)now);
    }
    std::printf("\nfirst page %lld, highest %lld, growth %lld KiB; %d pictures read, %.1f pages/s\n",
                (long long)startKiB, (long long)highKiB, (long long)(highKiB - startKiB),
                document.picturesRead(), (count - 1) / secondsSince(start));
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    WorkFolder folder(options.out);
    if (folder.path().empty())
        return fail("no folder to work in");
    const std::string storePath = folder.file("preview.vxr");
    if (!makeStore(options.pages, folder, storePath))
        return 1;

    TSettings settings;
    SheetOnlyPrinter printer(21000, 29700);
    SilentProgress silent;
    JobSession session(printer, settings, silent, folder.path());
    TVxReport& store = session.report();
    if (!session.openStore(storePath))
        return fail(store.ErrorMessage());
    PageStoreDocument document(store, DosCodePage::Cp852);
    const int count = document.pageCount();

    TPreviewForm form;
    form.resize(1920, 1080);
    form.attachDocument(&document, nullptr);
    form.show();
    QApplication::processEvents();
    std::printf("window 1920 x 1080, sheet at fit width %d x %d\n", form.layout().sheetWidth,
                form.layout().sheetHeight);
    for (int round = 0; round < options.repeat; ++round) {
        measurePageChanges(form, count);
        measureScrolling(form);
    }
    if (!options.noMemory)
        measureMemory(form, document, count);
    form.close();
    return 0;
}
