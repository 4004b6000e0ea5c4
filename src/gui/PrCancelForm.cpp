#include "PrCancelForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace quillon {

TPrCancelForm::TPrCancelForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Drukowanie ..."));
    setModal(false);
    setFixedSize(219, 108);

    PageLabel = new QLabel(QStringLiteral("Strona"), this);
    PageLabel->setGeometry(24, 23, 177, 20);

    BreakButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                  QStringLiteral("&Przerwij ..."), this);
    BreakButton->setGeometry(24, 56, 177, 41);
    connect(BreakButton, &QPushButton::clicked, this, &TPrCancelForm::BreakButtonClick);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void TPrCancelForm::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TPrCancelForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void TPrCancelForm::FormShow()
{
    PageLabel->clear();
    CancelRequested = false;
}

void TPrCancelForm::BreakButtonClick()
{
    CancelRequested = true;
}

} // namespace quillon
