#include "PreviewForm.h"

#include "Icons.h"
#include "PageStoreDocument.h"
#include "PreviewGotoDialog.h"
#include "PrintFromPreview.h"
#include "ScrollBoxEx.h"
#include "SpinEdit.h"
#include "StoredDocument.h"
#include "WidgetProgress.h"
#include "report/VxReport.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

namespace quillon {

namespace {

const char* const kZoomCaptions[kZoomModeCount] = {
    "&Dopasuj do szerokości okna", "&Zmieść całą stronę",     "&1. Przedstaw w skali 500%",
    "&2. Przedstaw w skali 300%",  "&3. Przedstaw w skali 200%", "&4. Przedstaw w skali 150%",
    "&5. Przedstaw w skali 125%",  "&6. Przedstaw w skali 100%", "&7. Przedstaw w skali 75%",
    "&8. Przedstaw w skali 50%",   "&9. Przedstaw w skali 25%",
};

constexpr int kToolbarHeight = 32;
const QColor kPageAreaColor(192, 220, 192);
const QColor kShadowColor(128, 128, 128);

QFont designFont()
{
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QToolButton* toolButton(QWidget* parent, const char* icon, const QString& text, const char* hint)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(themeIcon(icon));
    button->setIconSize(QSize(16, 16));
    button->setFont(designFont());
    if (!text.isEmpty()) {
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    if (hint)
        button->setToolTip(displayText(hint));
    return button;
}

PreviewKey previewKeyOf(int key)
{
    switch (key) {
    case Qt::Key_Escape: return PreviewKey::Escape;
    case Qt::Key_PageUp: return PreviewKey::PageUp;
    case Qt::Key_PageDown: return PreviewKey::PageDown;
    case Qt::Key_End: return PreviewKey::End;
    case Qt::Key_Home: return PreviewKey::Home;
    case Qt::Key_Left: return PreviewKey::Left;
    case Qt::Key_Right: return PreviewKey::Right;
    case Qt::Key_Up: return PreviewKey::Up;
    case Qt::Key_Down: return PreviewKey::Down;
    default: return PreviewKey::Other;
    }
}

} // namespace

void TPaintBox::paintEvent(QPaintEvent*)
{
    if (!onPaint)
        return;
    QPainter painter(this);
    onPaint(painter);
}

TPreviewForm::TPreviewForm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Podgląd wydruku"));
    resize(600, 420);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    makeToolbar();
    makePageArea();
    makeMenus();
    GotoDialog = new TPreviewGotoDialog(this);
    connectCommands();

    FormCreate();
    layoutToolbar();
    ScrollBox->setFocus();
}

// The toolbar: the four page buttons, the page label, and the zoom, print and close buttons.
void TPreviewForm::makeToolbar()
{
    pnToolbar = new QWidget(this);
    pnToolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    pnToolbar->installEventFilter(this);
    bvToolbar = new QFrame(pnToolbar);
    bvToolbar->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    sbPageNavigFirst = toolButton(pnToolbar, "go-first", {},
                                  "Idź do pierwszej strony raportu \r\n(klawisze Ctrl+Home)");
    sbPageNavigPrior = toolButton(pnToolbar, "go-previous", {},
                                  "Idź do poprzedniej strony raportu\r\n(klawisze Ctrl+PgUp)");
    sbPageNavigNext = toolButton(pnToolbar, "go-next", {},
                                 "Idź do kolejnej strony raportu \r\n(klawisze Ctrl+PgDn)");
    sbPageNavigLast = toolButton(pnToolbar, "go-last", {},
                                 "Idź do ostatniej strony raportu \r\n(klawisze Ctrl+End)");
    sbPageNavigFirst->setGeometry(4, 3, 22, 25);
    sbPageNavigPrior->setGeometry(27, 3, 22, 25);
    sbPageNavigNext->setGeometry(49, 3, 22, 25);
    sbPageNavigLast->setGeometry(72, 3, 22, 25);
    for (QToolButton* b : {sbPageNavigFirst, sbPageNavigPrior, sbPageNavigNext, sbPageNavigLast})
        b->setEnabled(false);

    EtykStrony = new QLabel(pnToolbar);
    EtykStrony->setAlignment(Qt::AlignCenter);
    EtykStrony->setFont(designFont());
    ButDopasuj = toolButton(pnToolbar, "zoom-in", QStringLiteral("&Powiększ"), nullptr);
    ButWydrukuj = toolButton(pnToolbar, "document-print", QStringLiteral("&Drukuj"), nullptr);
    ButKoniec = toolButton(pnToolbar, "window-close", QStringLiteral("Zam&knij"), nullptr);
}

// The scroll box with the sheet and its shadow.
void TPreviewForm::makePageArea()
{
    ScrollBox = new TScrollBoxEx(this);
    QPalette area = ScrollBox->viewport()->palette();
    area.setColor(QPalette::Window, kPageAreaColor);
    area.setColor(QPalette::Base, kPageAreaColor); // the scroll area paints its view in Base
    ScrollBox->viewport()->setPalette(area);
    ScrollBox->viewport()->setAutoFillBackground(true);
    ScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
    PaintBox2 = new TPaintBox(ScrollBox->viewport());
    PaintBox1 = new TPaintBox(ScrollBox->viewport());
    PaintBox1->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBox1->onPaint = [this](QPainter& p) { PaintBox1Paint(p); };
    PaintBox2->onPaint = [this](QPainter& p) { PaintBox2Paint(p); };
    PaintBox1->move(5, 5);
    PaintBox2->move(12, 12);
}

// The general popup menu and the zoom menu, one checkable item a zoom mode.
void TPreviewForm::makeMenus()
{
    DopasujPopMenu = new QMenu(this);
    GeneralPopMenu = new QMenu(this);
    IdzDoStrony = GeneralPopMenu->addAction(QStringLiteral("&Idź do strony ..."));
    DopasujSubPopup = GeneralPopMenu->addMenu(QStringLiteral("&Powiększ ..."));
    Wydrukuj1 = GeneralPopMenu->addAction(QStringLiteral("&Drukuj ..."));
    auto* zoomGroup = new QActionGroup(this);
    for (int i = 0; i < kZoomModeCount; ++i) {
        DopasujItems[size_t(i)] = DopasujPopMenu->addAction(QString::fromUtf8(kZoomCaptions[i]));
        DopasujItems[size_t(i)]->setCheckable(true);
        DopasujItems[size_t(i)]->setActionGroup(zoomGroup);
        connect(DopasujItems[size_t(i)], &QAction::triggered, this, [this, i] { DopasujMenuItemClick(i); });
    }
    DopasujItems[0]->setChecked(true);
}

void TPreviewForm::connectCommands()
{
    connect(sbPageNavigFirst, &QToolButton::clicked, this, &TPreviewForm::sbPageNavigFirstClick);
    connect(sbPageNavigPrior, &QToolButton::clicked, this, &TPreviewForm::sbPageNavigPriorClick);
    connect(sbPageNavigNext, &QToolButton::clicked, this, &TPreviewForm::sbPageNavigNextClick);
    connect(sbPageNavigLast, &QToolButton::clicked, this, &TPreviewForm::sbPageNavigLastClick);
    connect(ButDopasuj, &QToolButton::clicked, this, &TPreviewForm::ButDopasujClick);
    connect(ButWydrukuj, &QToolButton::clicked, this, &TPreviewForm::ButWydrukujClick);
    connect(ButKoniec, &QToolButton::clicked, this, &TPreviewForm::ButKoniecClick);
    connect(IdzDoStrony, &QAction::triggered, this, &TPreviewForm::IdzDoStronyClick);
    connect(Wydrukuj1, &QAction::triggered, this, &TPreviewForm::ButWydrukujClick);
    connect(ScrollBox, &TScrollBoxEx::onKeyDown, this, &TPreviewForm::ScrollBoxKeyDown);
    connect(ScrollBox, &TScrollBoxEx::scrolled, this, &TPreviewForm::placeSheet);
    auto popup = [this](QWidget* w) {
        return [this, w](const QPoint& at) { GeneralPopMenu->popup(w->mapToGlobal(at)); };
    };
    connect(pnToolbar, &QWidget::customContextMenuRequested, this, popup(pnToolbar));
    connect(ScrollBox, &QWidget::customContextMenuRequested, this, popup(ScrollBox));
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::FormCreate()
{
    // The context submenu holds copies of the zoom items, kept in step with them.
    auto* subGroup = new QActionGroup(this);
    for (int i = 0; i < kZoomModeCount; ++i) {
        QAction* item = DopasujItems[size_t(i)];
        QAction* copy = DopasujSubPopup->addAction(item->text());
        copy->setCheckable(true);
        copy->setChecked(item->isChecked());
        copy->setActionGroup(subGroup);
        connect(copy, &QAction::triggered, this, [this, i] { DopasujMenuItemClick(i); });
        DopasujSubItems[size_t(i)] = copy;
    }
    m_zoomMode = kZoomFitWidth;
    PageWidth = 21000;
    PageHeight = 29700;
}

int TPreviewForm::PageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

void TPreviewForm::setViewerState(ViewerWindowState state)
{
    const Qt::WindowStates keep = windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized);
    switch (state) {
    case ViewerWindowState::Maximized:
        setWindowState(keep | Qt::WindowMaximized);
        break;
    case ViewerWindowState::Minimized:
        setWindowState(keep | Qt::WindowMinimized);
        break;
    case ViewerWindowState::Normal:
        setWindowState(keep);
        break;
    case ViewerWindowState::Unchanged:
        break;
    }
}

void TPreviewForm::prepareFirstShow()
{
    if (!m_firstPreviewShow || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        return;
    m_firstPreviewShow = false;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    if (area.width() > width()) {
        resize(std::min(area.width() - 60, 900), std::min(area.height() - 80, 700));
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TPreviewForm::setViewerCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TPreviewForm::showPages(TVxReport& report)
{
    PageStoreDocument document(report, m_codePage);
    CurrentPage = std::clamp(int(report.CurrentPage), 1, std::max(1, document.pageCount()));
    showDocument(document, &report.printer());
    report.CurrentPage = CurrentPage;
}

void TPreviewForm::attachDocument(StoredDocument* document, ReportPrinter* printer)
{
    m_document = document;
    m_printer = printer;
    m_pageLoaded = false;
}

void TPreviewForm::showDocument(StoredDocument& document, ReportPrinter* printer)
{
    attachDocument(&document, printer);
    exec();
    attachDocument(nullptr, nullptr);
}

bool TPreviewForm::LoadCurrentPage()
{
    if (!m_document || PageCount() < 1)
        return false;
    const StoredPageGeometry g = m_document->pageGeometry(CurrentPage);
    PageWidth = g.paper.cx;
    PageHeight = g.paper.cy;
    PageMargLeft = g.origin.x;
    PageMargTop = g.origin.y;
    std::string error;
    m_pageLoaded = m_document->loadPage(CurrentPage, error);
    if (!m_pageLoaded) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillon Print"), displayText(error),
                        QMessageBox::Ok, this);
        box.exec();
        return false;
    }
    DisplayPageInfo();
    return true;
}

void TPreviewForm::DisplayPageInfo()
{
    EtykStrony->setText(QStringLiteral("Str. %1 z %2").arg(CurrentPage).arg(PageCount()));
    sbPageNavigFirst->setEnabled(CurrentPage > 1);
    sbPageNavigPrior->setEnabled(CurrentPage > 1);
    sbPageNavigLast->setEnabled(CurrentPage < PageCount());
    sbPageNavigNext->setEnabled(CurrentPage < PageCount());
}

void TPreviewForm::LayoutPage()
{
    PreviewLayoutInput in;
    in.lpx = PaintBox1->logicalDpiX();
    in.lpy = PaintBox1->logicalDpiY();
    in.vsb = ScrollBox->verticalScrollBar()->sizeHint().width();
    in.width = ScrollBox->width();
    in.height = ScrollBox->height();
    in.pageWidth = PageWidth;
    in.pageHeight = PageHeight;
    in.zoomMode = m_zoomMode;
    m_layout = layoutPreviewPage(in);
    PaintBox1->resize(m_layout.sheetWidth, m_layout.sheetHeight);
    PaintBox2->resize(m_layout.sheetWidth, m_layout.sheetHeight);
    ScrollBox->setRanges(m_layout.rangeX, m_layout.rangeY);
    placeSheet();
    PaintBox1->repaint();
}

void TPreviewForm::placeSheet()
{
    const QPoint at(5 - ScrollBox->horzPosition(), 5 - ScrollBox->vertPosition());
    PaintBox1->move(at);
    PaintBox2->move(at + QPoint(7, 7));
}

void TPreviewForm::PaintBox1Paint(QPainter& p)
{
    ++m_sheetPaints;
    const int sw = m_layout.sheetWidth;
    const int sh = m_layout.sheetHeight;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(0, 0, sw - 1, sh - 1);
    if (!m_document || !m_pageLoaded || sw < 3 || sh < 3)
        return;
    // Nothing is drawn outside the sheet's outline.
    p.setClipRect(1, 1, sw - 2, sh - 2, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const int32_t k = m_layout.unitsPerInch();
    std::string error;
    m_document->drawPage(CurrentPage, p, {k, k}, {PaintBox1->logicalDpiX(), PaintBox1->logicalDpiY()}, error);
}

void TPreviewForm::PaintBox2Paint(QPainter& p)
{
    const int sw = m_layout.sheetWidth;
    const int sh = m_layout.sheetHeight;
    p.fillRect(QRect(QPoint(0, sh - 15), QPoint(sw - 1, sh - 1)), kShadowColor);
    p.fillRect(QRect(QPoint(sw - 15, 0), QPoint(sw - 1, sh - 1)), kShadowColor);
}

void TPreviewForm::pageChanged()
{
    if (LoadCurrentPage())
        LayoutPage();
}

void TPreviewForm::sbPageNavigFirstClick()
{
    CurrentPage = 1;
    pageChanged();
}

void TPreviewForm::sbPageNavigPriorClick()
{
    if (CurrentPage > 1)
        --CurrentPage;
    pageChanged();
}

void TPreviewForm::sbPageNavigNextClick()
{
    if (CurrentPage < PageCount())
        ++CurrentPage;
    pageChanged();
}

void TPreviewForm::sbPageNavigLastClick()
{
    CurrentPage = std::max(1, PageCount());
    pageChanged();
}

void TPreviewForm::ButDopasujClick()
{
    DopasujPopMenu->popup(ButDopasuj->mapToGlobal(QPoint(0, ButDopasuj->height())));
}

void TPreviewForm::DopasujMenuItemClick(int index)
{
    if (index < 0 || index >= kZoomModeCount)
        return;
    DopasujItems[size_t(index)]->setChecked(true);
    DopasujSubItems[size_t(index)]->setChecked(true);
    m_zoomMode = index + 1;
    LayoutPage();
}

void TPreviewForm::IdzDoStronyClick()
{
    GotoDialog->SpinEdit->setValue(CurrentPage);
    if (GotoDialog->exec() != QDialog::Accepted)
        return;
    CurrentPage = std::clamp(GotoDialog->SpinEdit->value(), 1, std::max(1, PageCount()));
    pageChanged();
}

void TPreviewForm::ButWydrukujClick()
{
    PrintFromPreview(*this);
}

void TPreviewForm::ButKoniecClick()
{
    close();
}

void TPreviewForm::ScrollBoxKeyDown(QKeyEvent* event)
{
    const PreviewKey key = previewKeyOf(event->key());
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int clientWidth = ScrollBox->viewport()->width();
    const int clientHeight = ScrollBox->viewport()->height();
    const int step = TScrollBoxEx::kIncrement;
    switch (previewKeyCommand(key, ctrl)) {
    case PreviewCommand::None: break;
    case PreviewCommand::Close: close(); break;
    case PreviewCommand::FirstPage: sbPageNavigFirstClick(); break;
    case PreviewCommand::PriorPage: sbPageNavigPriorClick(); break;
    case PreviewCommand::NextPage: sbPageNavigNextClick(); break;
    case PreviewCommand::LastPage: sbPageNavigLastClick(); break;
    case PreviewCommand::ScreenUp: ScrollBox->setVertPosition(ScrollBox->vertPosition() - clientHeight); break;
    case PreviewCommand::ScreenDown: ScrollBox->setVertPosition(ScrollBox->vertPosition() + clientHeight); break;
    case PreviewCommand::ToRightEdge: ScrollBox->setHorzPosition(ScrollBox->horzRange() - clientWidth); break;
    case PreviewCommand::ToLeftEdge: ScrollBox->setHorzPosition(0); break;
    case PreviewCommand::StepLeft: ScrollBox->setHorzPosition(ScrollBox->horzPosition() - step); break;
    case PreviewCommand::StepRight: ScrollBox->setHorzPosition(ScrollBox->horzPosition() + step); break;
    case PreviewCommand::StepUp: ScrollBox->setVertPosition(ScrollBox->vertPosition() - step); break;
    case PreviewCommand::StepDown: ScrollBox->setVertPosition(ScrollBox->vertPosition() + step); break;
    }
    if (key != PreviewKey::Other)
        event->accept();
    flushRepaint();
}

void TPreviewForm::flushRepaint()
{
    // The sheet's pending repaint is done now, not at the next turn of the event loop.
    if (QWidget* top = window(); top && top->isVisible())
        QCoreApplication::sendPostedEvents(top, QEvent::UpdateRequest);
}

void TPreviewForm::layoutToolbar()
{
    pnToolbar->setGeometry(0, 0, width(), kToolbarHeight);
    bvToolbar->setGeometry(0, kToolbarHeight - 3, width(), 3);
    // The designed places hold; a larger desktop font widens a control and moves the next ones.
    const QFontMetrics metrics(EtykStrony->font());
    const int count = std::max(PageCount(), 1);
    const int labelWidth = std::max(81, metrics.horizontalAdvance(QStringLiteral("Str. %1 z %1").arg(count)) + 6);
    EtykStrony->setGeometry(98, 10, labelWidth, metrics.height());
    int x = std::max(183, 98 + labelWidth + 4);
    ButDopasuj->setGeometry(x, 3, std::max(76, ButDopasuj->sizeHint().width()), 25);
    x = std::max(259, ButDopasuj->geometry().right() + 1);
    ButWydrukuj->setGeometry(x, 3, std::max(70, ButWydrukuj->sizeHint().width()), 25);
    ButKoniec->resize(std::max(76, ButKoniec->sizeHint().width()), 25);
    pnToolbarResize();
    ScrollBox->setGeometry(0, kToolbarHeight, width(), std::max(0, height() - kToolbarHeight));
}

void TPreviewForm::pnToolbarResize()
{
    const int left = std::max(pnToolbar->width() - ButKoniec->width() - 5,
                              ButWydrukuj->x() + ButWydrukuj->width() + 2);
    ButKoniec->move(left, 3);
}

void TPreviewForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    layoutToolbar();
    if (m_document && LoadCurrentPage())
        LayoutPage();
    ScrollBox->setVertPosition(0);
    ScrollBox->setHorzPosition(0);
    placeSheet();
    ScrollBox->setFocus();
}

void TPreviewForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        m_pageLoaded = false;
}

void TPreviewForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutToolbar();
    if (m_document && isVisible())
        LayoutPage();
}

bool TPreviewForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pnToolbar && event->type() == QEvent::Resize)
        pnToolbarResize();
    return QDialog::eventFilter(watched, event);
}

} // namespace quillon
