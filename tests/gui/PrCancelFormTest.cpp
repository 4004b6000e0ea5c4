#include "PrCancelForm.h"
#include "WidgetProgress.h"
#include "posix/PosixFileAccess.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "core/FakePrinter.h"
#include "core/TestFiles.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

TEST(PrCancelForm, LayoutAndTexts)
{
    TPrCancelForm form;
    EXPECT_EQ(form.windowTitle(), "Drukowanie ...");
    EXPECT_EQ(form.size(), QSize(219, 108));
    EXPECT_EQ(form.PageLabel->pos(), QPoint(24, 23));
    EXPECT_EQ(form.BreakButton->geometry(), QRect(24, 56, 177, 41));
    EXPECT_EQ(form.BreakButton->text(), "&Przerwij ...");
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.isModal());
}

TEST(PrCancelForm, ShowingClearsTheLabelAndTheRequest)
{
    TPrCancelForm form;
    form.show();
    form.PageLabel->setText("Strona 7");
    QTest::mouseClick(form.BreakButton, Qt::LeftButton);
    EXPECT_TRUE(form.CancelRequested);
    EXPECT_TRUE(form.isVisible()) << "the click alone does not close the window";
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible()) << "nor does Esc";
    form.hide();
    form.show();
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_TRUE(form.PageLabel->text().isEmpty());
}

TEST(WidgetProgress, AClickWhilePaintingIsSeenAtTheNextPageAndEndsTheRun)
{
    TempDir dir;
    FakePrinter printer;
    PosixFileAccess files(dir.path());
    WidgetProgress progress;
    TVxReport report(printer, files, progress);
    report.ReportFile = "preview.vxr";
    std::vector<QString> labels;
    int painted = 0;
    report.OnPaintPage = [&](TVxReport& r, TVxCanvas&, bool& stop) {
        ++painted;
        labels.push_back(progress.form().PageLabel->text());
        EXPECT_TRUE(progress.form().isVisible());
        EXPECT_EQ(progress.form().windowTitle(), "Tworzenie raportu");
        if (r.PageNo() == 3) // the user clicks while page 3 is being made
            QTest::mouseClick(progress.form().BreakButton, Qt::LeftButton);
        stop = r.PageNo() == 10;
    };
    EXPECT_FALSE(report.Run());
    EXPECT_EQ(report.ErrorClassName(), "EVxReport_UserAbort");
    EXPECT_EQ(painted, 3);
    EXPECT_EQ(labels[2], "Strona 3");
    EXPECT_EQ(progress.form().BreakButton->text(), "Przerwij ...");
    EXPECT_FALSE(progress.form().isVisible());

    // The next run starts without the old request.
    painted = 0;
    report.OnPaintPage = [&](TVxReport& r, TVxCanvas&, bool& stop) {
        ++painted;
        stop = r.PageNo() == 4;
    };
    EXPECT_TRUE(report.Run()) << report.ErrorMessage();
    EXPECT_EQ(painted, 4);
}

TEST(WidgetProgress, WithoutProgressTheWaitCursorShowsAndGoesAway)
{
    TempDir dir;
    FakePrinter printer;
    PosixFileAccess files(dir.path());
    WidgetProgress progress;
    TVxReport report(printer, files, progress);
    report.ReportFile = "preview.vxr";
    report.ShowPrintProgress = false;
    bool sawWait = false;
    report.OnPaintPage = [&](TVxReport&, TVxCanvas&, bool& stop) {
        sawWait = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        EXPECT_FALSE(progress.form().isVisible());
        throw Exception("handler failed");
    };
    EXPECT_FALSE(report.Run());
    EXPECT_TRUE(sawWait);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor comes back after an error too";
}
