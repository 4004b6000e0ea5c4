#include "WidgetProgress.h"

#include "PrCancelForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace quillon {

QString displayText(const std::string& text)
{
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

WidgetProgress::WidgetProgress() : m_form(std::make_unique<TPrCancelForm>()) {}

WidgetProgress::~WidgetProgress() = default;

void WidgetProgress::setCaption(const std::string& caption)
{
    m_form->setWindowTitle(QString::fromStdString(caption));
}

void WidgetProgress::setButtonText(const std::string& text)
{
    m_form->BreakButton->setText(QString::fromStdString(text));
}

void WidgetProgress::setPageLabel(const std::string& label)
{
    m_form->PageLabel->setText(QString::fromStdString(label));
}

void WidgetProgress::show()
{
    m_form->show();
}

void WidgetProgress::hide()
{
    m_form->hide();
}

bool WidgetProgress::cancelRequested() const
{
    return m_form->CancelRequested;
}

void WidgetProgress::processPendingMessages()
{
    QCoreApplication::processEvents();
}

void WidgetProgress::beginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WidgetProgress::endWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

void WidgetProgress::showErrorBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillon Print"), displayText(text),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace quillon
