#include "ParsForm.h"

#include "AboutForm.h"
#include "HelpCommand.h"
#include "Icons.h"
#include "PainterDevice.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextBlock>

#include <cmath>
#include <vector>

namespace quillon {

void TFontSample::setFace(const QString& face, int points)
{
    m_face = face;
    m_points = points;
    update();
}

void TFontSample::paintEvent(QPaintEvent*)
{
    if (m_bytes.empty() || m_points <= 0)
        return;
    QPainter painter(this);
    PainterDevice dc(painter, DosCodePage::Cp852);
    // The cell of the print: the size's height, and the width of 10 characters to the inch at
    // 12 points, narrower in proportion for smaller sizes.
    const long double dpiY = logicalDpiY();
    const long double dpiX = logicalDpiX();
    LogFont lf;
    lf.height = int32_t(std::nearbyint(m_points * dpiY / 72.0L));
    lf.width = int32_t(std::nearbyint(dpiX / 10.0L * m_points / 12.0L));
    lf.charSet = kOemCharset;
    lf.pitchAndFamily = kFixedPitch;
    lf.faceName = m_face.left(31).toStdU16String();
    const GdiObject font = dc.createFont(lf);
    const GdiObject previous = dc.selectObject(font);
    dc.setTextColor(0xFF0000); // blue, as 0x00BBGGRR
    dc.setBkMode(kTransparent);
    dc.setTextAlign(kTaTop);
    const int32_t textWidth = lf.width * int32_t(m_bytes.size());
    const std::vector<int32_t> dx(m_bytes.size(), lf.width);
    const Point origin{(width() - textWidth) / 2, (height() - lf.height) / 2};
    dc.extTextOutA(origin, 0, nullptr, m_bytes, dx);
    dc.selectObject(previous);
    dc.deleteObject(font);
}

TParsForm::TParsForm(TSettings& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Qvp Print (parametry)"));
    setFixedSize(353, 417);
    QFont base = font();
    base.setPointSize(8);
    setFont(base);

    makeIntervalBox();
    makePathsBox();
    makeFontBox();
    makeOptionBoxes();
    makeButtons();

    FormCreate();
}

// The polling interval: a slider over the allowed seconds.
void TParsForm::makeIntervalBox()
{
    gbPollingFreq = new QGroupBox(QStringLiteral("Częstość próbkowania"), this);
    gbPollingFreq->setGeometry(0, 0, 353, 57);
    TrackBar = new QSlider(Qt::Horizontal, gbPollingFreq);
    TrackBar->setGeometry(16, 24, 273, 22);
    TrackBar->setRange(settings::kPollingFreq.low, settings::kPollingFreq.high);
    TrackBar->setSingleStep(1);
    TrackBar->setPageStep(1);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setTickInterval(1);
    TrackBar->setValue(settings::kPollingFreq.def);
    Label2 = new QLabel(QStringLiteral("[s]"), gbPollingFreq);
    QFont bold = font();
    bold.setBold(true);
    Label2->setFont(bold);
    Label2->setGeometry(296, 25, 54, 17);
    connect(TrackBar, &QSlider::valueChanged, this, [this] { TrackBarChange(); });
}

// The folder patterns, one a line.
void TParsForm::makePathsBox()
{
    gbPeekPaths = new QGroupBox(QStringLiteral("Miejsca przeszukiwania plików do wydruku "), this);
    gbPeekPaths->setGeometry(0, 63, 353, 88);
    mePaths = new QPlainTextEdit(gbPeekPaths);
    mePaths->setGeometry(6, 18, 341, 64);
    mePaths->setLineWrapMode(QPlainTextEdit::NoWrap);
    mePaths->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mePaths->setTabChangesFocus(true);
}

// The font face and size, with a sample of both.
void TParsForm::makeFontBox()
{
    gbFont = new QGroupBox(QStringLiteral("Czcionka"), this);
    gbFont->setGeometry(0, 155, 353, 84);
    Bevel1 = new QFrame(gbFont);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bevel1->setGeometry(10, 18, 335, 30);
    lbFontShow = new TFontSample(gbFont);
    lbFontShow->setGeometry(18, 26 - 4, 318, 17 + 8); // room for the descenders of 12 points
    fcbFontNames = new QComboBox(gbFont);
    fcbFontNames->setGeometry(10, 55, 255, 22);
    cbFontSizes = new QComboBox(gbFont);
    cbFontSizes->setGeometry(272, 54, 73, 22);
    connect(fcbFontNames, &QComboBox::currentIndexChanged, this, [this] { UpdateFontSample(); });
    connect(cbFontSizes, &QComboBox::currentIndexChanged, this, [this] { UpdateFontSample(); });
}

// The page orientation, the preview switch and the printer emulation.
void TParsForm::makeOptionBoxes()
{
    gbPageOrient = new QGroupBox(QStringLiteral("Orientacja strony wydruku"), this);
    gbPageOrient->setGeometry(0, 246, 169, 75);
    rbPortrait = new QRadioButton(QStringLiteral("Portret (pionowo)"), gbPageOrient);
    rbPortrait->setGeometry(12, 22, 150, 20);
    rbLandscape = new QRadioButton(QStringLiteral("Pejzaż (poziomo)"), gbPageOrient);
    rbLandscape->setGeometry(12, 46, 150, 20);
    auto* orientation = new QButtonGroup(this);
    orientation->addButton(rbPortrait, 0);
    orientation->addButton(rbLandscape, 1);

    gbOtherParams = new QGroupBox(QStringLiteral("Inne parametry"), this);
    gbOtherParams->setGeometry(176, 246, 177, 75);
    cbPreviewOn = new QCheckBox(QStringLiteral("Włącz podgląd"), gbOtherParams);
    cbPreviewOn->setGeometry(16, 32, 140, 17);

    gbEmulation = new QGroupBox(QStringLiteral("Emulacja drukarki"), this);
    gbEmulation->setGeometry(0, 327, 353, 52);
    cbEmulation = new QComboBox(gbEmulation);
    cbEmulation->setGeometry(10, 20, 255, 22);
}

// Help, About, Cancel and OK along the bottom.
void TParsForm::makeButtons()
{
    bbHelp = new QPushButton(themeIcon("help-contents"), QStringLiteral("&Pomoc"), this);
    bbHelp->setGeometry(8, 387, 75, 27);
    bbHelp->setAutoDefault(false);
    bbAbout = new QPushButton(themeIcon("help-about"), QStringLiteral("&O programie"), this);
    bbAbout->setGeometry(88, 387, 89, 27);
    bbAbout->setAutoDefault(false);
    btAnuluj = new QPushButton(themeIcon("dialog-cancel"), QStringLiteral("&Anuluj"), this);
    btAnuluj->setGeometry(197, 387, 75, 27);
    btAnuluj->setAutoDefault(false);
    btOK = new QPushButton(themeIcon("dialog-ok"), QStringLiteral("O&K"), this);
    btOK->setGeometry(277, 387, 75, 27);
    btOK->setDefault(true);
    connect(bbHelp, &QPushButton::clicked, this, [this] { showHelp(this); });
    connect(bbAbout, &QPushButton::clicked, this, [this] { ShowAbout(this); });
    connect(btAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TParsForm::FormCreate()
{
    lbFontShow->setBytes(AnsiToOem(QStringLiteral("Próbka: Zażółć gęślą jaźń")));
    cbFontSizes->clear();
    cbFontSizes->addItems(fontSizeEntries());
    fcbFontNames->addItems(fixedPitchFontFamilies());
    cbEmulation->addItems(emulationEntries());
}

ParsControls TParsForm::controls() const
{
    ParsControls c;
    for (int i = 0; i < fcbFontNames->count(); ++i)
        c.fontNames << fcbFontNames->itemText(i);
    c.fontIndex = fcbFontNames->currentIndex();
    for (int i = 0; i < cbFontSizes->count(); ++i)
        c.sizes << cbFontSizes->itemText(i);
    c.sizeIndex = cbFontSizes->currentIndex();
    c.slider = TrackBar->value();
    c.pathLines = mePaths->toPlainText().split(QLatin1Char('\n'));
    c.landscape = rbLandscape->isChecked();
    c.preview = cbPreviewOn->isChecked();
    c.emulationIndex = cbEmulation->currentIndex();
    return c;
}

void TParsForm::setControls(const ParsControls& c)
{
    fcbFontNames->setCurrentIndex(c.fontIndex);
    cbFontSizes->setCurrentIndex(c.sizeIndex);
    TrackBar->setValue(c.slider);
    TrackBarChange();
    UpdateFontSample();
    mePaths->setPlainText(c.pathLines.join(QLatin1Char('\n')));
    (c.landscape ? rbLandscape : rbPortrait)->setChecked(true);
    cbPreviewOn->setChecked(c.preview);
    cbEmulation->setCurrentIndex(c.emulationIndex);
}

void TParsForm::ReadWriteControls(const std::string& mode)
{
    if (mode == "READ") {
        ParsControls c = controls();
        readControls(m_settings, c);
        setControls(c);
    } else if (mode == "WRITE") {
        writeControls(controls(), m_settings);
    }
}

void TParsForm::accept()
{
    int badLine = -1;
    const QString problem = pathLinesProblem(controls().pathLines, badLine);
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Quillon Print"), problem);
    mePaths->setFocus();
    QTextCursor cursor(mePaths->document()->findBlockByNumber(badLine));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    mePaths->setTextCursor(cursor);
}

void TParsForm::TrackBarChange()
{
    Label2->setText(pollingLabel(TrackBar->value()));
}

void TParsForm::UpdateFontSample()
{
    lbFontShow->setFace(fcbFontNames->currentText(), fontSizeOfEntry(cbFontSizes->currentText()));
}

} // namespace quillon
