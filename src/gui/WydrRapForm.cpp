#include "WydrRapForm.h"

#include "Icons.h"
#include "SpinEdit.h"
#include "VxHdrPanel.h"
#include "report/ReportPrinter.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

namespace quillon {

const char* const kNoPrinterText = "Brak drukarki w systemie";

namespace {

QFont designFont(bool bold)
{
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    return font;
}

TVxHdrPanel* headerPanel(const QString& caption, QWidget* parent)
{
    auto* panel = new TVxHdrPanel(parent);
    panel->setHeaderCaption(caption);
    panel->setFrameWidth(2);
    panel->setColor(QColor(255, 251, 231));
    panel->setHeaderColor(QColor(192, 220, 192));
    panel->setHeaderFont(designFont(true));
    return panel;
}

// A radio button at its designed place, wider when the desktop's font needs it.
QRadioButton* radio(const QString& text, int y, int width, QWidget* parent)
{
    auto* button = new QRadioButton(text, parent);
    button->setGeometry(16, y, std::max(width, button->sizeHint().width()), std::max(17, button->sizeHint().height()));
    return button;
}

} // namespace

TWydrRapForm::TWydrRapForm(ReportPrinter* printer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      m_printer(printer)
{
    setWindowTitle(QStringLiteral("Parametry wydruku"));
    setFixedSize(360, 262);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(0, 0, 360, 225);
    // Border 5 inside the bevels: the header panels fill the rest.
    const QRect inside = Panel1->rect().adjusted(7, 7, -7, -7);

    makeRangePanel(inside);
    makePageFields();
    makePrinterPanel(inside);
    makeButtons();

    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(RadioAll, &QRadioButton::clicked, this, &TWydrRapForm::RadioAllClick);
    connect(RadioCurrent, &QRadioButton::clicked, this, &TWydrRapForm::RadioAllClick);
    connect(RadioSelected, &QRadioButton::clicked, this, &TWydrRapForm::RadioSelectedClick);
    connect(BitBtn3, &QPushButton::clicked, this, &TWydrRapForm::BitBtn3Click);
    runPrinterSetup = [](TWydrRapForm& form) { form.defaultPrinterSetup(); };

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

// What to print: all, the current page or chosen pages.
void TWydrRapForm::makeRangePanel(const QRect& inside)
{
    VxHdrPanelZakres = headerPanel(QStringLiteral("Zakres wydruku"), Panel1);
    VxHdrPanelZakres->setMargins(4, 4, 4, 4);
    VxHdrPanelZakres->setGeometry(inside.left(), inside.top(), inside.width(), 134);
    RadioAll = radio(QStringLiteral("Wydrukuj &wszystko"), 32, 113, VxHdrPanelZakres);
    RadioAll->setChecked(true);
    RadioCurrent = radio(QStringLiteral("Wydrukuj &bieżącą stronę"), 60, 145, VxHdrPanelZakres);
    RadioSelected = radio(QStringLiteral("Wydrukuj wyb&rane strony"), 88, 153, VxHdrPanelZakres);
}

// The first and last page of a chosen range, shown with the third choice only.
void TWydrRapForm::makePageFields()
{
    ZakrPanel = new QWidget(VxHdrPanelZakres);
    ZakrPanel->setGeometry(200, 64, 121, 57);
    Label3 = new QLabel(QStringLiteral("od str."), ZakrPanel);
    Label4 = new QLabel(QStringLiteral("do str."), ZakrPanel);
    EditOd = new TSpinEdit(ZakrPanel);
    EditDo = new TSpinEdit(ZakrPanel);
    for (QLabel* label : {Label3, Label4}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->adjustSize();
    }
    // The labels end where the fields begin; a larger font moves the fields right, not the labels' text out.
    const int labelWidth = std::max({32, Label3->width(), Label4->width()});
    const int fieldX = std::max(40, 4 + labelWidth + 4);
    EditOd->setGeometry(fieldX, 8, 73, 21);
    EditDo->setGeometry(fieldX, 32, 73, 21);
    Label3->setGeometry(4, 8, labelWidth, 21);
    Label4->setGeometry(4, 32, labelWidth, 21);
    ZakrPanel->resize(std::max(121, fieldX + 73 + 8), 57);
    ZakrPanel->move(std::min(200, VxHdrPanelZakres->width() - 8 - ZakrPanel->width()), 64);
    ZakrPanel->hide();
}

// The printer's name and its setup button.
void TWydrRapForm::makePrinterPanel(const QRect& inside)
{
    VxHdrPanelDrukarka = headerPanel(QStringLiteral("Drukarka"), Panel1);
    VxHdrPanelDrukarka->setMargins(4, 0, 4, 4);
    VxHdrPanelDrukarka->setGeometry(inside.left(), inside.top() + 134, inside.width(), inside.height() - 134);
    PrinterNameLabel = new QLabel(VxHdrPanelDrukarka);
    PrinterNameLabel->setFont(designFont(true));
    PrinterNameLabel->setWordWrap(true);
    PrinterNameLabel->setGeometry(16, 32, 233, 29);
    BitBtn3 = new QPushButton(themeIcon("document-properties"), QStringLiteral("&Ustaw"), VxHdrPanelDrukarka);
    BitBtn3->setGeometry(VxHdrPanelDrukarka->width() - 17 - std::max(73, BitBtn3->sizeHint().width()), 32,
                         std::max(73, BitBtn3->sizeHint().width()), 27);
    PrinterNameLabel->setFixedWidth(BitBtn3->x() - 16 - 6);
}

void TWydrRapForm::makeButtons()
{
    btOK = new QPushButton(themeIcon("dialog-ok"), QStringLiteral("O&K"), this);
    btAnuluj = new QPushButton(themeIcon("dialog-cancel"), QStringLiteral("&Anuluj"), this);
    const int buttonWidth = std::max({75, btOK->sizeHint().width(), btAnuluj->sizeHint().width()});
    btOK->setGeometry(360 - 12 - 2 * buttonWidth - 5, 229, buttonWidth, 28);
    btAnuluj->setGeometry(360 - 12 - buttonWidth, 229, buttonWidth, 28);
    btOK->setDefault(true);
}

void TWydrRapForm::FormCreate()
{
    showPrinterName();
}

void TWydrRapForm::showPrinterName()
{
    const std::string name = m_printer ? m_printer->printerName() : std::string();
    PrinterNameLabel->setText(name.empty() ? QString::fromUtf8(kNoPrinterText) : QString::fromStdString(name));
}

void TWydrRapForm::RadioAllClick()
{
    ZakrPanel->hide();
}

void TWydrRapForm::RadioSelectedClick()
{
    ZakrPanel->show();
}

void TWydrRapForm::BitBtn3Click()
{
    runPrinterSetup(*this);
    showPrinterName();
}

void TWydrRapForm::defaultPrinterSetup()
{
    QPrinter qprinter(QPrinter::HighResolution);
    if (m_printer && !m_printer->printerName().empty())
        qprinter.setPrinterName(QString::fromStdString(m_printer->printerName()));
    QPrintDialog dialog(&qprinter, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted || !m_printer)
        return;
    // The queue chosen becomes the program's printer; a printer that is not a queue (a file) changes nothing.
    if (qprinter.outputFormat() == QPrinter::NativeFormat && !qprinter.printerName().isEmpty())
        m_printer->choosePrinter(qprinter.printerName().toStdString());
}

RangeChoice TWydrRapForm::choice() const
{
    if (RadioAll->isChecked())
        return RangeChoice::All;
    if (RadioCurrent->isChecked())
        return RangeChoice::Current;
    return RangeChoice::Selected;
}

std::optional<PageRange> TWydrRapForm::chosenRange(int current, int count) const
{
    return chosenPrintRange(choice(), current, count, EditOd->text().toStdString(),
                            EditDo->text().toStdString());
}

} // namespace quillon
