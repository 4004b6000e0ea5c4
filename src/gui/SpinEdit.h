#pragma once
// An integer spin field whose value is the number in its text, or its minimum when the text is no
// number. The arrows, Enter and the loss of focus keep a number within minimum .. maximum, except
// while the two are equal: then the field is not bounded. Text that is no number is left as typed.

#include <QAbstractSpinBox>

namespace quillon {

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int value() const;
    void setValue(int value);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    void setMinimum(int value) { m_min = value; }
    void setMaximum(int value) { m_max = value; }
    QString text() const;
    void setText(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int bounded(int value) const;
    void confine();

    int m_min = 1;
    int m_max = 1;
};

} // namespace quillon
