#pragma once
// The print dialog of the preview: which stored pages to print, and on which printer.

#include "PreviewLayout.h"

#include <QDialog>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillon {

class ReportPrinter;
class TSpinEdit;
class TVxHdrPanel;

// What the dialog shows in place of the printer's name when the system has none.
extern const char* const kNoPrinterText;

class TWydrRapForm : public QDialog {
    Q_OBJECT
public:
    // printer: the program's current printer (outlives the dialog); null for none.
    explicit TWydrRapForm(ReportPrinter* printer, QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    TVxHdrPanel* VxHdrPanelZakres = nullptr;
    QRadioButton* RadioAll = nullptr;
    QRadioButton* RadioCurrent = nullptr;
    QRadioButton* RadioSelected = nullptr;
    QWidget* ZakrPanel = nullptr;
    QLabel* Label3 = nullptr;
    TSpinEdit* EditOd = nullptr;
    QLabel* Label4 = nullptr;
    TSpinEdit* EditDo = nullptr;
    TVxHdrPanel* VxHdrPanelDrukarka = nullptr;
    QLabel* PrinterNameLabel = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btAnuluj = nullptr;

    RangeChoice choice() const;
    // The pages the dialog's state asks for out of count, the current page being current.
    std::optional<PageRange> chosenRange(int current, int count) const;

    // Runs the printer set-up dialog; replaceable so that tests can stand in for the user.
    std::function<void(TWydrRapForm&)> runPrinterSetup;

private:
    // The constructor's steps; inside is the main panel's area within its bevels.
    void makeRangePanel(const QRect& inside);
    void makePageFields();
    void makePrinterPanel(const QRect& inside);
    void makeButtons();
    void FormCreate();
    void RadioAllClick();
    void RadioSelectedClick();
    void BitBtn3Click();
    void showPrinterName();
    void defaultPrinterSetup();

    ReportPrinter* m_printer;
};

} // namespace quillon
