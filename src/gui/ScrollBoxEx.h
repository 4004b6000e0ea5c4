#pragma once
// The preview's page area: a scroll area whose ranges are set only from outside (no automatic
// range), with scroll steps of 20 pixels, that hands every key, arrows included, to its
// onKeyDown signal instead of scrolling or moving the focus itself.

#include <QAbstractScrollArea>

namespace quillon {

class TScrollBoxEx : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TScrollBoxEx(QWidget* parent = nullptr);

    // The scrolled extents (what the scroll bars span, the visible part included).
    int horzRange() const { return m_rangeX; }
    int vertRange() const { return m_rangeY; }
    void setRanges(int rangeX, int rangeY);
    int horzPosition() const;
    int vertPosition() const;
    // Positions are kept within 0 .. range − visible extent.
    void setHorzPosition(int position);
    void setVertPosition(int position);
    static constexpr int kIncrement = 20;

signals:
    // accepted: set to true when the key was handled.
    void onKeyDown(QKeyEvent* event);
    void scrolled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateBars();

    int m_rangeX = 0;
    int m_rangeY = 0;
};

} // namespace quillon
