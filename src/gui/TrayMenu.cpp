#include "TrayMenu.h"

#include "Icons.h"

#include <QAction>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// start + (end - start) * i / (n - 1), rounded to the nearest whole number (half to even).
int gradientChannel(int start, int end, int i, int n)
{
    const long double v = start + (long double)(end - start) * i / (n - 1);
    return int(std::nearbyint(v));
}

} // namespace

void PopupMenuDrawMargin(QPainter& painter, const QRect& rect, const QColor& shadow,
                         const QColor& highlight)
{
    const int left = rect.x();
    const int top = rect.y();
    const int right = rect.x() + rect.width(); // exclusive
    const int bottom = rect.y() + rect.height(); // exclusive
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QColor start(0, 0, 255);
    const QColor end(start.red() / 2, start.green() / 2, start.blue() / 2);
    const int height = bottom - top;
    const int fillWidth = right - 3 - left;
    int n = 32;
    if (height < n)
        n = height;
    n = std::max(n, 2);
    const int bandHeight = height / n;
    if (fillWidth > 0) {
        if (bandHeight > 0)
            for (int i = 0; i < n; ++i) {
                const QColor c(gradientChannel(start.red(), end.red(), i, n),
                               gradientChannel(start.green(), end.green(), i, n),
                               gradientChannel(start.blue(), end.blue(), i, n));
                painter.fillRect(left, top + i * bandHeight, fillWidth, bandHeight, c);
            }
        const int rest = height - n * bandHeight;
        if (rest > 0)
            painter.fillRect(left, top + n * bandHeight, fillWidth, rest, end);
    }
    if (height > 0) {
        painter.fillRect(right - 2, top, 1, height, shadow);
        painter.fillRect(right - 1, top, 1, height, highlight);
    }

    QFont font(QStringLiteral("Courier New"));
    font.setBold(true);
    font.setPointSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    // Centred lines, broken between words where one would be too wide, not clipped.
    const QRect text(left, top + 15, right - left, std::max(0, bottom - top - 15));
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip,
                     QStringLiteral("Qvp\nPrint"));
    painter.restore();
}

TTrayMenu::TTrayMenu(QWidget* parent) : QMenu(parent)
{
    ZmienParametry = addAction(themeIcon("document-properties"), QStringLiteral("Pokaż lub zmień parametry"));
    ZmienParametry->setObjectName(QStringLiteral("ZmienParametry"));
    QFont bold = font();
    bold.setBold(true);
    ZmienParametry->setFont(bold);
    setDefaultAction(ZmienParametry);
    Instrukcje = addAction(themeIcon("help-contents"), QStringLiteral("Pomoc"));
    Instrukcje->setObjectName(QStringLiteral("Instrukcje"));
    Oprogramie = addAction(themeIcon("help-about"), QStringLiteral("O programie"));
    Oprogramie->setObjectName(QStringLiteral("Oprogramie"));
    Zakoncz = addAction(themeIcon("application-exit"), QStringLiteral("Zakończ"));
    Zakoncz->setObjectName(QStringLiteral("Zakoncz"));
    // The items begin right of the band.
    setContentsMargins(kMenuBandWidth + 1, 0, 0, 0);
}

void TTrayMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    QPainter painter(this);
    PopupMenuDrawMargin(painter, QRect(0, 0, kMenuBandWidth, height()), palette().color(QPalette::Dark),
                        palette().color(QPalette::Light));
}

} // namespace quillon
