#pragma once
// The About box: the program's name, version, maker and a link to its home page.

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillon {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1; // the name
    QLabel* Label2; // the version
    QLabel* Label3; // the maker
    QLabel* Label4; // the home page link
    QPushButton* BitBtn1;

private:
    void Label4Click();
};

// Shows the About box modally above parent (nullptr: above no window) and destroys it when it
// closes. While a box is open, another call only brings that box to the front.
void ShowAbout(QWidget* parent = nullptr);
// The box ShowAbout is showing, or nullptr.
TAboutForm* openAboutBox();

} // namespace quillon
