#pragma once
// The small modeless window that shows which page a report run is making and lets the user stop
// it. One exists per process.

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillon {

class TPrCancelForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrCancelForm(QWidget* parent = nullptr);

    QLabel* PageLabel = nullptr;
    QPushButton* BreakButton = nullptr;
    bool CancelRequested = false;

    // Esc and the window frame do not close it: only the run that showed it hides it.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void BreakButtonClick();
};

} // namespace quillon
