#pragma once
// A panel that groups controls under a caption: an outer band in the parent's colour, a frame and
// a caption strip in the header colour, and the body in the panel's own colour.

#include <QColor>
#include <QFont>
#include <QWidget>

namespace quillon {

class TVxHdrPanel : public QWidget {
    Q_OBJECT
public:
    explicit TVxHdrPanel(QWidget* parent = nullptr);

    QString HeaderCaption() const { return m_caption; }
    void setHeaderCaption(const QString& caption);
    QColor HeaderColor() const { return m_headerColor; }
    void setHeaderColor(const QColor& color);
    QFont HeaderFont() const { return m_headerFont; }
    void setHeaderFont(const QFont& font);
    QColor HeaderTextColor() const { return m_headerTextColor; }
    void setHeaderTextColor(const QColor& color);
    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    void setMargins(int left, int top, int bottom, int right);
    int MargLeft() const { return m_margLeft; }
    int MargTop() const { return m_margTop; }
    int MargBottom() const { return m_margBottom; }
    int MargRight() const { return m_margRight; }
    int FrameWidth() const { return m_frameWidth; }
    void setFrameWidth(int width);

    // The body below the caption strip, where child controls belong.
    QRect bodyRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect innerRect() const;
    int stripHeight(const QRect& inner) const;

    QString m_caption = QStringLiteral("Header text");
    QColor m_headerColor{192, 220, 192};
    QFont m_headerFont;
    QColor m_headerTextColor{0, 0, 128};
    QColor m_color{255, 251, 231};
    Qt::Alignment m_alignment = Qt::AlignHCenter;
    int m_margLeft = 4;
    int m_margTop = 4;
    int m_margBottom = 4;
    int m_margRight = 4;
    int m_frameWidth = 5;
};

} // namespace quillon
