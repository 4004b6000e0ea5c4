// The preview window as a user meets it: the sheet and scroll ranges at every kind of zoom, the
// keys, go to page, the zoom menus, and the display through the report.

#include "PreviewForm.h"
#include "PreviewGotoDialog.h"
#include "PreviewLayout.h"
#include "ScrollBoxEx.h"
#include "SpinEdit.h"

#include "PreviewTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

// Scroll bars 17 pixels wide, as in the worked figures.
class Bar17Style : public QProxyStyle {
public:
    int pixelMetric(PixelMetric m, const QStyleOption* o = nullptr, const QWidget* w = nullptr) const override
    {
        return m == PM_ScrollBarExtent ? 17 : QProxyStyle::pixelMetric(m, o, w);
    }
};

// A shown window whose page area is 800 x 600.
struct Window {
    explicit Window(StoredReport& stored) : style(new Bar17Style)
    {
        form.ScrollBox->verticalScrollBar()->setStyle(style.get());
        form.ScrollBox->horizontalScrollBar()->setStyle(style.get());
        form.resize(800, 632);
        form.attachDocument(stored.document.get(), &stored.printer);
        form.show();
    }
    ~Window() { form.close(); }
    void zoom(int mode)
    {
        form.DopasujItems[size_t(mode - 1)]->trigger();
        QApplication::processEvents();
    }
    QRect sheet() const { return form.PaintBox1->geometry(); }
    QSize ranges() const { return {form.ScrollBox->horzRange(), form.ScrollBox->vertRange()}; }
    std::unique_ptr<QStyle> style;
    TPreviewForm form;
};

void key(TPreviewForm& form, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(form.ScrollBox, Qt::Key(k), mods);
}

} // namespace

TEST(PreviewLayout, NarrowAreasKeepTenPixelsAndHalvesRoundToEven)
{
    PreviewLayoutInput in;
    in.width = 25;
    in.height = 25;
    in.zoomMode = kZoomFitWidth;
    EXPECT_EQ(layoutPreviewPage(in).sheetWidth, 10);
    in.zoomMode = kZoomWholePage;
    EXPECT_EQ(layoutPreviewPage(in).sheetHeight, 10);
    EXPECT_EQ(layoutPreviewPage(in).sheetWidth, 7);
    in.zoomMode = 11; // 25 % of 794 is 198.5
    EXPECT_EQ(layoutPreviewPage(in).sheetWidth, 198);
}

TEST(PreviewForm, TheSheetAndTheScrollRangesFollowTheWorkedFigures)
{
    StoredReport stored(2, [](int page) { return page == 2; });
    ASSERT_TRUE(stored.ok);
    Window w(stored);
    ASSERT_EQ(w.form.ScrollBox->size(), QSize(800, 600));
    ASSERT_EQ(w.form.PaintBox1->logicalDpiX(), 96);

    struct Case { int mode; QSize sheet; QSize ranges; int k; };
    const Case cases[] = {
        {8, {794, 1123}, {811, 1140}, 2540},
        {11, {198, 280}, {215, 297}, 10186},
        {3, {3970, 5613}, {3987, 5630}, 508},
        {1, {762, 1077}, {779, 1094}, 2647},
        {2, {409, 579}, {426, 596}, 4926},
    };
    for (const Case& c : cases) {
        w.zoom(c.mode);
        EXPECT_EQ(w.sheet(), QRect(QPoint(5, 5), c.sheet)) << "mode " << c.mode;
        EXPECT_EQ(w.form.PaintBox2->geometry(), QRect(QPoint(12, 12), c.sheet)) << "mode " << c.mode;
        EXPECT_EQ(w.ranges(), c.ranges) << "mode " << c.mode;
        EXPECT_EQ(w.form.layout().unitsPerInch(), c.k) << "mode " << c.mode;
        auto* h = w.form.ScrollBox->horizontalScrollBar();
        auto* v = w.form.ScrollBox->verticalScrollBar();
        EXPECT_EQ(h->maximum(), std::max(0, c.ranges.width() - w.form.ScrollBox->viewport()->width()));
        EXPECT_EQ(v->maximum(), std::max(0, c.ranges.height() - w.form.ScrollBox->viewport()->height()));
        if (c.mode == 1) {
            EXPECT_EQ(h->maximum(), 0) << "fit width never scrolls sideways";
        }
        if (c.mode == 2) {
            EXPECT_EQ(h->maximum() + v->maximum(), 0) << "whole page never scrolls";
        }
    }

    // What the user sees: pale green area, black outline, white sheet, grey shadow 7 pixels deep.
    w.zoom(2);
    const QImage shot = w.form.ScrollBox->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(192, 220, 192));
    EXPECT_EQ(shot.pixelColor(5, 100), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(6, 300), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(5 + 409 + 6, 300), QColor(128, 128, 128));
    EXPECT_EQ(shot.pixelColor(5 + 409 + 7, 300), QColor(192, 220, 192));
    EXPECT_EQ(shot.pixelColor(5 + 409 + 3, 8), QColor(192, 220, 192)) << "the shadow starts 7 down";

    // The landscape page 2 is laid out turned: 779 x 551 at fit width and whole page.
    key(w.form, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.form.EtykStrony->text(), "Str. 2 z 2");
    EXPECT_EQ(w.sheet().size(), QSize(779, 551));
    w.zoom(1);
    EXPECT_EQ(w.sheet().size(), QSize(779, 551));
}

TEST(PreviewForm, KeysScrollWithoutCtrlAndTurnPagesWithIt)
{
    StoredReport stored(12);
    ASSERT_TRUE(stored.ok);
    Window w(stored);
    w.zoom(3); // 500 %
    const int reads = stored.document->picturesRead();
    TScrollBoxEx& box = *w.form.ScrollBox;

    key(w.form, Qt::Key_Right);
    key(w.form, Qt::Key_Down);
    key(w.form, Qt::Key_Down, Qt::ShiftModifier); // Shift changes nothing
    EXPECT_EQ(box.horzPosition(), 20);
    EXPECT_EQ(box.vertPosition(), 40);
    EXPECT_EQ(w.sheet().topLeft(), QPoint(5 - 20, 5 - 40));
    key(w.form, Qt::Key_PageDown);
    EXPECT_EQ(box.vertPosition(), 40 + box.viewport()->height());
    key(w.form, Qt::Key_End);
    EXPECT_EQ(box.horzPosition(), box.horzRange() - box.viewport()->width());
    EXPECT_EQ(box.vertPosition(), 40 + box.viewport()->height()) << "End moves sideways only";
    key(w.form, Qt::Key_Home);
    EXPECT_EQ(box.horzPosition(), 0);
    key(w.form, Qt::Key_Up, Qt::ControlModifier);
    key(w.form, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(box.vertPosition(), 40 + box.viewport()->height());
    for (int i = 0; i < 10; ++i)
        w.form.PaintBox1->repaint();
    EXPECT_EQ(stored.document->picturesRead(), reads) << "scrolling and repainting read nothing";
    EXPECT_FALSE(w.form.sbPageNavigFirst->isEnabled());

    key(w.form, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.form.CurrentPage, 2);
    EXPECT_EQ(stored.document->picturesRead(), reads + 1);
    EXPECT_EQ(box.vertPosition(), 40 + box.viewport()->height()) << "a page change keeps the position";
    key(w.form, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w.form.EtykStrony->text(), "Str. 12 z 12");
    EXPECT_FALSE(w.form.sbPageNavigNext->isEnabled());
    EXPECT_FALSE(w.form.sbPageNavigLast->isEnabled());
    EXPECT_TRUE(w.form.sbPageNavigPrior->isEnabled());
    key(w.form, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.form.CurrentPage, 12);
    key(w.form, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(w.form.CurrentPage, 11);
    key(w.form, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(w.form.CurrentPage, 1);

    key(w.form, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_TRUE(w.form.isVisible()) << "Ctrl+Esc does nothing";
    key(w.form, Qt::Key_Escape);
    EXPECT_FALSE(w.form.isVisible());
}

TEST(PreviewForm, GoToPageIsClampedToTheStoreNotToTheField)
{
    StoredReport stored(12);
    ASSERT_TRUE(stored.ok);
    Window w(stored);
    auto goTo = [&](const QString& text, bool ok) {
        whenShown<TPreviewGotoDialog>([text, ok](TPreviewGotoDialog& d) {
            d.SpinEdit->setText(text);
            (ok ? d.BitBtn1 : d.BitBtn2)->click();
        });
        w.form.IdzDoStrony->trigger();
        return w.form.CurrentPage;
    };
    EXPECT_EQ(goTo("250", true), 12);
    EXPECT_EQ(w.form.EtykStrony->text(), "Str. 12 z 12");
    EXPECT_EQ(goTo("5", false), 12) << "Cancel changes nothing";
    EXPECT_EQ(goTo("0", true), 1);
    EXPECT_EQ(goTo("7", true), 7);
    EXPECT_EQ(goTo("x", true), 1) << "text that is no number counts as 1";
}

TEST(PreviewForm, ZoomMenusMoveTogetherAndTheZoomOutlivesTheDisplay)
{
    StoredReport stored(3);
    ASSERT_TRUE(stored.ok);
    stored.report.ClosePageStore();
    TPreviewForm form;
    stored.report.setViewer(&form);
    EXPECT_EQ(form.DopasujSubPopup->actions().size(), kZoomModeCount);

    QSize firstSize;
    whenShown<TPreviewForm>([&](TPreviewForm& f) {
        firstSize = f.size();
        EXPECT_EQ(f.windowTitle(), "Raport próbny");
        EXPECT_EQ(f.EtykStrony->text(), "Str. 1 z 3");
        f.DopasujSubItems[1]->trigger(); // "&Zmieść całą stronę" from the context menu
        EXPECT_TRUE(f.DopasujItems[1]->isChecked());
        EXPECT_FALSE(f.DopasujItems[0]->isChecked());
        EXPECT_EQ(f.ZoomMode(), 2);
        key(f, Qt::Key_End, Qt::ControlModifier);
        f.resize(700, 500);
        f.ButKoniec->click();
    });
    stored.report.ShowReport("NORMAL");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(firstSize, QSize(std::min(screen.width() - 60, 900), std::min(screen.height() - 80, 700)));
    EXPECT_FALSE(stored.report.pageStoreOpen());

    whenShown<TPreviewForm>([&](TPreviewForm& f) {
        EXPECT_EQ(f.ZoomMode(), 2);
        EXPECT_TRUE(f.DopasujSubItems[1]->isChecked());
        EXPECT_EQ(f.CurrentPage, 1) << "every display starts on page 1";
        EXPECT_EQ(f.size(), QSize(700, 500)) << "the size the user gave is kept";
        EXPECT_EQ(f.ScrollBox->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(f.ScrollBox->verticalScrollBar()->maximum(), 0);
        f.DopasujItems[7]->trigger();
        EXPECT_TRUE(f.DopasujSubItems[7]->isChecked());
        f.close();
    });
    stored.report.ShowReport("Normal");

    whenShown<TPreviewForm>([&](TPreviewForm& f) {
        EXPECT_TRUE(f.isMaximized());
        f.close();
    });
    stored.report.ShowReport("Maximized");
}

TEST(PreviewForm, TheCloseButtonStaysRightButNeverCoversPrint)
{
    TPreviewForm form;
    form.show();
    form.resize(900, 400);
    EXPECT_EQ(form.ButKoniec->geometry().right(), 900 - 5 - 1);
    form.resize(200, 400);
    EXPECT_EQ(form.ButKoniec->x(), form.ButWydrukuj->geometry().right() + 1 + 2);
    EXPECT_EQ(form.sbPageNavigFirst->geometry(), QRect(4, 3, 22, 25));
    EXPECT_EQ(form.sbPageNavigFirst->toolTip(), "Idź do pierwszej strony raportu \n(klawisze Ctrl+Home)");
    EXPECT_FALSE(form.sbPageNavigFirst->icon().isNull());
}
