#pragma once
// Scrolls a view while a drag hovers near its edges, and only while more of the view lies
// that way: near the top while the view is not at its top, near the bottom while it is not at
// its bottom, likewise left and right. One line per tick of a timer; it stops when the drag
// leaves the border, leaves the view, drops, or nothing is left to scroll.

#include <QObject>
#include <QPoint>
#include <QTimer>

class QAbstractScrollArea;
class QScrollBar;

class CDragScroller : public QObject {
    Q_OBJECT

public:
    explicit CDragScroller(QAbstractScrollArea* view);

    // The drag is at pos (viewport coordinates): scrolling starts or goes on when that is in
    // the border and the view can scroll that way.
    void Hover(const QPoint& pos);
    void Stop();
    bool IsActive() const { return m_timer.isActive(); }

    // The border's width and the time between two lines.
    static constexpr int kBorder = 20;
    static constexpr int kInterval = 50;

    // -1 (towards the minimum), +1 (towards the maximum) or 0: where pos asks to scroll along
    // an axis of the given length, and whether bar lets it.
    static int Request(int pos, int length, int border);
    static bool CanScroll(const QScrollBar* bar, int direction);

private:
    QAbstractScrollArea* m_pView;
    QTimer m_timer;
    QPoint m_pos;

    // Scrolls one line in each direction the position asks for; false when nothing moved.
    bool Step();
};
