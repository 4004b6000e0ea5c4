#pragma once
// The go-to-page dialog of the preview: a page number and OK or Cancel.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace quillon {

class TSpinEdit;

class TPreviewGotoDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPreviewGotoDialog(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    TSpinEdit* SpinEdit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
};

} // namespace quillon
