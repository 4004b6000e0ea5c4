#include "ScrollBoxEx.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace quillon {

TScrollBoxEx::TScrollBoxEx(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(kIncrement);
    verticalScrollBar()->setSingleStep(kIncrement);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
}

void TScrollBoxEx::setRanges(int rangeX, int rangeY)
{
    m_rangeX = rangeX;
    m_rangeY = rangeY;
    updateBars();
}

void TScrollBoxEx::updateBars()
{
    // Showing one bar narrows the view for the other: settle both, then lay them out at once.
    for (int pass = 0; pass < 3; ++pass) {
        const QSize view = viewport()->size();
        horizontalScrollBar()->setRange(0, std::max(0, m_rangeX - view.width()));
        horizontalScrollBar()->setPageStep(std::max(1, view.width()));
        verticalScrollBar()->setRange(0, std::max(0, m_rangeY - view.height()));
        verticalScrollBar()->setPageStep(std::max(1, view.height()));
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (viewport()->size() == view)
            break;
    }
}

int TScrollBoxEx::horzPosition() const
{
    return horizontalScrollBar()->value();
}

int TScrollBoxEx::vertPosition() const
{
    return verticalScrollBar()->value();
}

void TScrollBoxEx::setHorzPosition(int position)
{
    horizontalScrollBar()->setValue(position);
}

void TScrollBoxEx::setVertPosition(int position)
{
    verticalScrollBar()->setValue(position);
}

void TScrollBoxEx::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
    emit onKeyDown(event);
    if (!event->isAccepted())
        QWidget::keyPressEvent(event); // Tab and the rest go on to the window
}

void TScrollBoxEx::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateBars();
}

void TScrollBoxEx::scrollContentsBy(int dx, int dy)
{
    // The view is moved with its children; only the strip uncovered is painted again.
    viewport()->scroll(dx, dy);
    emit scrolled();
}

} // namespace quillon
