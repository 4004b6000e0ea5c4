#include "AboutForm.h"

#include "Icons.h"
#include "QuillonVersion.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace quillon {

namespace {
TAboutForm* s_openAbout = nullptr;
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("O programie"));
    setFixedSize(284, 102);
    QFont base = font();
    base.setPointSize(8);
    setFont(base);

    Image1 = new QLabel(this);
    Image1->setGeometry(8, 8, 41, 41);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(programIcon().pixmap(41, 41));

    Label1 = new QLabel(QStringLiteral("Quillon Print"), this);
    QFont title = base;
    title.setItalic(true);
    title.setPixelSize(16);
    Label1->setFont(title);
    Label1->setStyleSheet(QStringLiteral("color: blue;"));
    Label1->move(64, 9);
    Label1->adjustSize();

    Label2 = new QLabel(QStringLiteral("wersja %1").arg(QLatin1String(kVersion)), this);
    Label2->move(66, 34);
    Label2->adjustSize();

    Label3 = new QLabel(QStringLiteral("Terlo"), this);
    Label3->move(66, 53);
    Label3->adjustSize();

    const QString home = QString::fromUtf8(kHomePage);
    Label4 = new QLabel(this);
    Label4->setText(QStringLiteral("<a href=\"%1\" style=\"color: blue;\">%2</a>")
                        .arg(home.toHtmlEscaped(), QUrl(home).host().toHtmlEscaped()));
    Label4->setTextFormat(Qt::RichText);
    Label4->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    Label4->setOpenExternalLinks(false);
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->setToolTip(home);
    Label4->move(66, 69);
    Label4->adjustSize();
    connect(Label4, &QLabel::linkActivated, this, [this] { Label4Click(); });

    BitBtn1 = new QPushButton(themeIcon("dialog-ok"), QStringLiteral("O&K"), this);
    BitBtn1->setGeometry(192, 64, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::Label4Click()
{
    // A desktop without a browser is no error of ours.
    (void)QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePage)));
}

void ShowAbout(QWidget* parent)
{
    if (s_openAbout) {
        s_openAbout->raise();
        s_openAbout->activateWindow();
        return;
    }
    TAboutForm box(parent);
    s_openAbout = &box;
    struct Forget {
        ~Forget() { s_openAbout = nullptr; }
    } forget;
    box.exec();
}

TAboutForm* openAboutBox()
{
    return s_openAbout;
}

} // namespace quillon
