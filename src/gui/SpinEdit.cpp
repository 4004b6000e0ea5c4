#include "SpinEdit.h"

#include "PreviewLayout.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace quillon {

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignCenter);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setKeyboardTracking(true);
    lineEdit()->setText(QStringLiteral("1"));
}

QString TSpinEdit::text() const
{
    return lineEdit()->text();
}

void TSpinEdit::setText(const QString& text)
{
    lineEdit()->setText(text);
}

int TSpinEdit::value() const
{
    return integerFromText(text().toStdString()).value_or(m_min);
}

int TSpinEdit::bounded(int value) const
{
    if (m_min == m_max)
        return value;
    return std::clamp(value, m_min, std::max(m_min, m_max));
}

void TSpinEdit::setValue(int value)
{
    lineEdit()->setText(QString::number(bounded(value)));
}

void TSpinEdit::confine()
{
    if (auto v = integerFromText(text().toStdString()); v && bounded(*v) != *v)
        setValue(*v);
}

void TSpinEdit::stepBy(int steps)
{
    setValue(value() + steps);
    selectAll();
}

QValidator::State TSpinEdit::validate(QString& input, int&) const
{
    // Digits with an optional sign and blanks; whether it is in range is settled later.
    for (QChar c : input)
        if (!c.isDigit() && c != u'-' && c != u'+' && c != u' ')
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event)
{
    confine();
    QAbstractSpinBox::focusOutEvent(event);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        confine();
        event->ignore(); // the dialog's default button takes it
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

} // namespace quillon
