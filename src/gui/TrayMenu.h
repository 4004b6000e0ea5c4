#pragma once
// The tray icon's menu: four commands with their pictures, the default one in bold, and the blue
// band with the program's name down its left side.

#include <QMenu>

class QAction;
class QColor;
class QPainter;
class QRect;

namespace quillon {

// The band's width; item contents begin one pixel to its right.
constexpr int kMenuBandWidth = 70;

// Paints the band into rect (its right and bottom edges exclusive): a blue gradient in up to 32
// bands down to rect.right - 3, a line in shadow at rect.right - 2 and one in highlight at
// rect.right - 1, and "Qvp" / "Print" in white bold 14-point "Courier New" 15 pixels below the top.
void PopupMenuDrawMargin(QPainter& painter, const QRect& rect, const QColor& shadow,
                         const QColor& highlight);

class TTrayMenu : public QMenu {
    Q_OBJECT
public:
    explicit TTrayMenu(QWidget* parent = nullptr);

    QAction* ZmienParametry; // "Pokaż lub zmień parametry", the default item
    QAction* Instrukcje;     // "Pomoc"
    QAction* Oprogramie;     // "O programie"
    QAction* Zakoncz;        // "Zakończ"

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillon
