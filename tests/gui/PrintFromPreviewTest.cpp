// The preview's print command: the dialog's ranges as the printer receives them, the report's
// settings restored, and the window usable again after a failure and after a cancel.

#include "PreviewForm.h"
#include "PrCancelForm.h"
#include "PrintFromPreview.h"
#include "SpinEdit.h"
#include "VxHdrPanel.h"
#include "WydrRapForm.h"

#include "PreviewTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

std::vector<std::string> pages(int first, int last)
{
    std::vector<std::string> out;
    for (int n = first; n <= last; ++n)
        out.push_back("page " + std::to_string(n));
    return out;
}

// One print command on a fresh store of count pages, current page 5, the dialog set by choose.
std::vector<std::string> printWith(int count, std::function<void(TWydrRapForm&)> choose,
                                   QString* printerShown = nullptr)
{
    StoredReport stored(count);
    EXPECT_TRUE(stored.ok);
    TPreviewForm form;
    form.attachDocument(stored.document.get(), &stored.printer);
    form.show();
    form.CurrentPage = std::min(5, count);
    whenShown<TWydrRapForm>([&](TWydrRapForm& d) {
        if (printerShown)
            *printerShown = d.PrinterNameLabel->text();
        choose(d);
    });
    form.ButWydrukuj->click();
    EXPECT_TRUE(form.isEnabled());
    return stored.printer.printed();
}

void selected(TWydrRapForm& d, const QString& from, const QString& to, bool enter = false)
{
    QTest::mouseClick(d.RadioSelected, Qt::LeftButton);
    EXPECT_TRUE(d.ZakrPanel->isVisible());
    d.EditOd->setText(from);
    d.EditDo->setText(to);
    if (enter) {
        d.EditOd->setFocus();
        QTest::keyClick(d.EditOd, Qt::Key_Return); // confirms and presses the default button
        if (d.isVisible())
            d.btOK->click();
        return;
    }
    d.btOK->click();
}

} // namespace

TEST(PrintFromPreview, TheRangeChosenIsWhatThePrinterGets)
{
    QString shown;
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) {
                  EXPECT_EQ(d.EditOd->text(), "1");
                  EXPECT_EQ(d.EditDo->text(), "12");
                  EXPECT_FALSE(d.ZakrPanel->isVisible());
                  d.btOK->click();
              }, &shown),
              pages(1, 12));
    EXPECT_EQ(shown, "Biuro");
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) {
                  QTest::mouseClick(d.RadioCurrent, Qt::LeftButton);
                  d.btOK->click();
              }),
              pages(5, 5));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { selected(d, "3", "7"); }), pages(3, 7));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { selected(d, "7", "3"); }), pages(0, -1));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { selected(d, "3", ""); }), pages(3, 12));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { selected(d, "", "7"); }), pages(1, 7));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { selected(d, "0", "40", true); }), pages(1, 12));
    EXPECT_EQ(printWith(1, [](TWydrRapForm& d) {
                  EXPECT_EQ(d.EditDo->text(), "1");
                  selected(d, "5", "9");
              }),
              pages(1, 1));
    EXPECT_EQ(printWith(12, [](TWydrRapForm& d) { d.btAnuluj->click(); }), pages(0, -1));
}

TEST(PrintFromPreview, APrinterChosenInSetupIsUsedAndNoPrinterIsSaidInPolish)
{
    StoredReport stored(2);
    ASSERT_TRUE(stored.ok);
    stored.printer.name.clear();
    TWydrRapForm dialog(&stored.printer);
    EXPECT_EQ(dialog.PrinterNameLabel->text(), "Brak drukarki w systemie");
    dialog.runPrinterSetup = [&](TWydrRapForm&) { stored.printer.choosePrinter("Magazyn"); };
    dialog.BitBtn3->click();
    EXPECT_EQ(dialog.PrinterNameLabel->text(), "Magazyn");
}

TEST(PrintFromPreview, AFailureIsShownTheSettingsComeBackAndTheWindowWorksOn)
{
    StoredReport stored(4, [](int page) { return page == 2; });
    ASSERT_TRUE(stored.ok);
    stored.report.MargLeft = 777;
    stored.report.MargTop = 555;
    stored.report.PaperOrient = vxPortrait;
    bool handlerKept = false;
    stored.report.OnPaintPage = [&](TVxReport&, TVxCanvas&, bool&) { handlerKept = true; };
    TPreviewForm form;
    form.attachDocument(stored.document.get(), &stored.printer);
    form.show();
    form.CurrentPage = 2;

    ErrorBoxes boxes;
    stored.printer.refuseBeginAt = 2;
    bool disabledWhilePrinting = false;
    stored.printer.onBegin = [&](int) { disabledWhilePrinting = !form.isEnabled(); };
    whenShown<TWydrRapForm>([](TWydrRapForm& d) { selected(d, "2", "4"); });
    form.ButWydrukuj->click();
    EXPECT_TRUE(disabledWhilePrinting);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("EVxReport_BeginDocNext"), std::string::npos) << boxes.texts[0];
    EXPECT_EQ(stored.printer.printed(), pages(2, 2)) << "the page already sent stays sent";
    EXPECT_EQ(stored.printer.pages[0].orientation, PrinterOrientation::Landscape);
    EXPECT_EQ(stored.report.MargLeft, 777);
    EXPECT_EQ(stored.report.MargTop, 555);
    EXPECT_EQ(stored.report.PaperOrient, vxPortrait);
    EXPECT_EQ(stored.report.PrintDestination(), vxPreviewer);
    ASSERT_TRUE(stored.report.OnPaintPage);
    EXPECT_TRUE(form.isEnabled());

    // The window works on: the next print goes through.
    stored.printer.refuseBeginAt = 0;
    whenShown<TWydrRapForm>([](TWydrRapForm& d) { d.btOK->click(); });
    form.ButWydrukuj->click();
    EXPECT_EQ(stored.printer.printed().size(), 1u + 4u);
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST(PrintFromPreview, BreakStopsAfterThePageInProgressWithoutABox)
{
    StoredReport stored(10);
    ASSERT_TRUE(stored.ok);
    TPreviewForm form;
    form.attachDocument(stored.document.get(), &stored.printer);
    form.show();
    ErrorBoxes boxes;
    stored.printer.onBegin = [&](int n) {
        if (n == 3) // the user clicks while page 3 prints
            QTest::mouseClick(stored.progress.form().BreakButton, Qt::LeftButton);
    };
    whenShown<TWydrRapForm>([](TWydrRapForm& d) { d.btOK->click(); });
    form.ButWydrukuj->click();
    EXPECT_EQ(stored.printer.printed(), pages(1, 3));
    EXPECT_EQ(stored.printer.calls.back(), "abort");
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(form.isEnabled());
    EXPECT_FALSE(stored.progress.form().isVisible());
}

TEST(VxHdrPanel, MarginsFrameAndAWrappedCaptionStrip)
{
    QWidget parent;
    QPalette p = parent.palette();
    p.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(p);
    TVxHdrPanel panel(&parent);
    panel.setGeometry(0, 0, 120, 100);
    panel.setMargins(4, 0, 3, 2);
    panel.setFrameWidth(2);
    panel.setHeaderCaption("Zakres wydruku bardzo długi, zawinięty w kilka wierszy");
    QImage image(panel.size(), QImage::Format_RGB32);
    panel.render(&image);
    const QColor band(10, 20, 30), header(192, 220, 192), body(255, 251, 231);
    EXPECT_EQ(image.pixelColor(0, 50), band);
    EXPECT_EQ(image.pixelColor(3, 50), band);
    EXPECT_EQ(image.pixelColor(4, 0), header) << "no top band: the frame starts at the top edge";
    EXPECT_EQ(image.pixelColor(119, 50), band);
    EXPECT_EQ(image.pixelColor(117, 50), header);
    EXPECT_EQ(image.pixelColor(60, 99), band);
    EXPECT_EQ(image.pixelColor(60, 96), header);
    EXPECT_EQ(image.pixelColor(8, 90), body);
    const int bodyTop = panel.bodyRect().top();
    EXPECT_GE(bodyTop - 2 - 2, 2 * QFontMetrics(panel.HeaderFont()).height()) << "the caption wraps";
    EXPECT_EQ(image.pixelColor(7, bodyTop - 1), header);
    EXPECT_EQ(image.pixelColor(7, bodyTop), body);

    panel.setHeaderCaption({});
    panel.render(&image);
    EXPECT_EQ(image.pixelColor(7, 5), body) << "no caption, no strip";
}
