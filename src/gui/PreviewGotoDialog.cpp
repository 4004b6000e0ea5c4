#include "PreviewGotoDialog.h"

#include "Icons.h"
#include "SpinEdit.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace quillon {

TPreviewGotoDialog::TPreviewGotoDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Idź do wybranej strony raportu"));

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(0, 0, 232, 59);

    Label1 = new QLabel(QStringLiteral("Idź do strony numer:"), Panel1);
    Label1->adjustSize();
    SpinEdit = new TSpinEdit(Panel1);
    SpinEdit->setMinimum(1);
    SpinEdit->setMaximum(99999);
    SpinEdit->setValue(1);
    // A larger desktop font widens the dialog rather than cutting the label.
    const int spinWidth = 73;
    const int labelX = 12;
    const int spinX = std::max(140, labelX + Label1->width() + 8);
    const int width = std::max(232, spinX + spinWidth + 12);
    Panel1->resize(width, 59);
    SpinEdit->setGeometry(spinX, 17, spinWidth, std::max(24, SpinEdit->sizeHint().height()));
    Label1->move(labelX, 17 + (SpinEdit->height() - Label1->height()) / 2);

    BitBtn1 = new QPushButton(themeIcon("dialog-ok"), QStringLiteral("O&K"), this);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(themeIcon("dialog-cancel"), QStringLiteral("&Anuluj"), this);
    const int buttonWidth = std::max({75, BitBtn1->sizeHint().width(), BitBtn2->sizeHint().width()});
    BitBtn1->setGeometry(width - 2 * buttonWidth - 16, 70, buttonWidth, 28);
    BitBtn2->setGeometry(width - buttonWidth - 8, 70, buttonWidth, 28);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(width, 107);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace quillon
