#pragma once
// The preview window: the stored pages one at a time as a white sheet with a grey shadow on a pale
// green page area, at one of eleven zooms, with paging, go to page and printing.

#include "PreviewLayout.h"
#include "gdi/CodePage.h"
#include "report/ReportViewer.h"

#include <QDialog>

#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;

namespace quillon {

class ReportPrinter;
class StoredDocument;
class TPreviewGotoDialog;
class TScrollBoxEx;

// A plain drawing area whose painting is done by its owner.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent) : QWidget(parent) {}
    std::function<void(QPainter&)> onPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TPreviewForm : public QDialog, public ReportViewer {
    Q_OBJECT
public:
    explicit TPreviewForm(QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // ReportViewer: what the report's ShowReport uses.
    void setViewerState(ViewerWindowState state) override;
    void prepareFirstShow() override;
    void setViewerCaption(const std::string& caption) override;
    void showPages(TVxReport& report) override;

    // Shows document modally and returns when the window is closed. printer: the program's
    // current printer, which the print command uses (null for none). Both outlive the call.
    void showDocument(StoredDocument& document, ReportPrinter* printer);
    // The document shown without running the window modally (the caller shows and closes it).
    void attachDocument(StoredDocument* document, ReportPrinter* printer);
    StoredDocument* document() const { return m_document; }
    ReportPrinter* printer() const { return m_printer; }
    // How OEM text of the pages is drawn.
    void setCodePage(DosCodePage codePage) { m_codePage = codePage; }

    // The state of the page shown.
    int CurrentPage = 1;
    int PageCount() const;
    int ZoomMode() const { return m_zoomMode; }
    int32_t PageWidth = 21000;
    int32_t PageHeight = 29700;
    int32_t PageMargLeft = 0;
    int32_t PageMargTop = 0;
    const PreviewLayout& layout() const { return m_layout; }

    QWidget* pnToolbar = nullptr;
    QFrame* bvToolbar = nullptr;
    QToolButton* sbPageNavigFirst = nullptr;
    QToolButton* sbPageNavigPrior = nullptr;
    QToolButton* sbPageNavigNext = nullptr;
    QToolButton* sbPageNavigLast = nullptr;
    QLabel* EtykStrony = nullptr;
    QToolButton* ButDopasuj = nullptr;
    QToolButton* ButWydrukuj = nullptr;
    QToolButton* ButKoniec = nullptr;
    TScrollBoxEx* ScrollBox = nullptr;
    TPaintBox* PaintBox1 = nullptr; // the sheet
    TPaintBox* PaintBox2 = nullptr; // its shadow
    QMenu* GeneralPopMenu = nullptr;
    QAction* IdzDoStrony = nullptr;
    QMenu* DopasujSubPopup = nullptr;
    QAction* Wydrukuj1 = nullptr;
    QMenu* DopasujPopMenu = nullptr;
    std::array<QAction*, kZoomModeCount> DopasujItems{};
    std::array<QAction*, kZoomModeCount> DopasujSubItems{};
    TPreviewGotoDialog* GotoDialog = nullptr;

    // Loads page CurrentPage; false (with the error box shown) when its picture cannot be read.
    bool LoadCurrentPage();
    void DisplayPageInfo();
    void LayoutPage();

    void sbPageNavigFirstClick();
    void sbPageNavigPriorClick();
    void sbPageNavigNextClick();
    void sbPageNavigLastClick();
    void ButDopasujClick();
    void IdzDoStronyClick();
    void ButWydrukujClick();
    void ButKoniecClick();
    // Zoom item index (0-based) of either menu chosen.
    void DopasujMenuItemClick(int index);

    // How many times the sheet was painted; for measurements.
    int sheetPaints() const { return m_sheetPaints; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's steps.
    void makeToolbar();
    void makePageArea();
    void makeMenus();
    void connectCommands();
    void FormCreate();
    void pnToolbarResize();
    void ScrollBoxKeyDown(QKeyEvent* event);
    void PaintBox1Paint(QPainter& painter);
    void PaintBox2Paint(QPainter& painter);
    void placeSheet();
    void pageChanged();
    void layoutToolbar();
    void flushRepaint();

    StoredDocument* m_document = nullptr;
    ReportPrinter* m_printer = nullptr;
    DosCodePage m_codePage = DosCodePage::Cp852;
    int m_zoomMode = kZoomFitWidth;
    PreviewLayout m_layout;
    bool m_pageLoaded = false;
    bool m_firstPreviewShow = true;
    int m_sheetPaints = 0;
};

} // namespace quillon
