#include "VxHdrPanel.h"

#include <QPainter>

namespace quillon {

namespace {

constexpr int kCaptionFlags = Qt::TextWordWrap | Qt::AlignTop;

} // namespace

TVxHdrPanel::TVxHdrPanel(QWidget* parent) : QWidget(parent)
{
    m_headerFont = font();
    resize(300, 200);
}

void TVxHdrPanel::setHeaderCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void TVxHdrPanel::setHeaderColor(const QColor& color)
{
    m_headerColor = color;
    update();
}

void TVxHdrPanel::setHeaderFont(const QFont& font)
{
    m_headerFont = font;
    update();
}

void TVxHdrPanel::setHeaderTextColor(const QColor& color)
{
    m_headerTextColor = color;
    update();
}

void TVxHdrPanel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TVxHdrPanel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void TVxHdrPanel::setMargins(int left, int top, int bottom, int right)
{
    m_margLeft = left;
    m_margTop = top;
    m_margBottom = bottom;
    m_margRight = right;
    update();
}

void TVxHdrPanel::setFrameWidth(int width)
{
    m_frameWidth = width;
    update();
}

QRect TVxHdrPanel::innerRect() const
{
    // Rectangles here run from left/top to right/bottom exclusive.
    const int fw = std::max(m_frameWidth, 0);
    return QRect(QPoint(m_margLeft + fw, m_margTop + fw),
                 QPoint(width() - m_margRight - fw - 1, height() - m_margBottom - fw - 1));
}

int TVxHdrPanel::stripHeight(const QRect& inner) const
{
    if (m_caption.isEmpty())
        return 0;
    QFontMetrics metrics(m_headerFont);
    const QRect text = metrics.boundingRect(QRect(inner.left(), inner.top(), inner.width(), 100000),
                                            kCaptionFlags | int(m_alignment & Qt::AlignHorizontal_Mask),
                                            m_caption);
    return text.height() + 2;
}

QRect TVxHdrPanel::bodyRect() const
{
    QRect r = innerRect();
    r.setTop(r.top() + stripHeight(r));
    return r;
}

void TVxHdrPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    p.fillRect(rect(), m_color);

    // The outer band in the parent's colour.
    const QColor margin = parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole())
                                         : QColor(255, 255, 255);
    if (m_margLeft > 0)
        p.fillRect(0, 0, m_margLeft, h, margin);
    if (m_margRight > 0)
        p.fillRect(w - m_margRight, 0, m_margRight, h, margin);
    if (m_margTop > 0)
        p.fillRect(0, 0, w, m_margTop, margin);
    if (m_margBottom > 0)
        p.fillRect(0, h - m_margBottom, w, m_margBottom, margin);

    // The frame: nested one-pixel outlines.
    int left = m_margLeft, top = m_margTop, right = w - m_margRight, bottom = h - m_margBottom;
    p.setPen(QPen(m_headerColor, 1));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < m_frameWidth && right - left > 0 && bottom - top > 0; ++i) {
        p.drawRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).adjusted(0, 0, -1, -1));
        ++left, ++top, --right, --bottom;
    }
    if (m_caption.isEmpty() || right <= left)
        return;

    // The caption strip: the text's height and 2 pixels, the text at its top.
    const QRect inner(QPoint(left, top), QPoint(right - 1, bottom - 1));
    const int strip = stripHeight(inner);
    p.fillRect(QRect(inner.left(), inner.top(), inner.width(), strip), m_headerColor);
    p.setFont(m_headerFont);
    p.setPen(m_headerTextColor);
    p.drawText(QRect(inner.left(), inner.top(), inner.width(), strip),
               kCaptionFlags | int(m_alignment & Qt::AlignHorizontal_Mask), m_caption);
}

} // namespace quillon
