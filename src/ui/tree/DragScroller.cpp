#include "ui/tree/DragScroller.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

#include <algorithm>

CDragScroller::CDragScroller(QAbstractScrollArea* view) : QObject(view), m_pView(view) {
    m_timer.setInterval(kInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!Step())
            Stop();
    });
}

int CDragScroller::Request(int pos, int length, int border) {
    if (length <= 0)
        return 0;
    border = std::min(border, length / 3);
    if (pos < border)
        return -1;
    if (pos >= length - border)
        return +1;
    return 0;
}

bool CDragScroller::CanScroll(const QScrollBar* bar, int direction) {
    if (!bar || direction == 0 || bar->maximum() <= bar->minimum())
        return false;
    return direction < 0 ? bar->value() > bar->minimum() : bar->value() < bar->maximum();
}

void CDragScroller::Hover(const QPoint& pos) {
    m_pos = pos;
    const QSize size = m_pView->viewport()->size();
    const int v = Request(pos.y(), size.height(), kBorder);
    const int h = Request(pos.x(), size.width(), kBorder);
    const bool can =
        CanScroll(m_pView->verticalScrollBar(), v) || CanScroll(m_pView->horizontalScrollBar(), h);
    if (!can)
        Stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void CDragScroller::Stop() {
    m_timer.stop();
}

bool CDragScroller::Step() {
    const QSize size = m_pView->viewport()->size();
    bool moved = false;
    auto step = [&](QScrollBar* bar, int direction) {
        if (!CanScroll(bar, direction))
            return;
        bar->triggerAction(direction < 0 ? QAbstractSlider::SliderSingleStepSub
                                         : QAbstractSlider::SliderSingleStepAdd);
        moved = true;
    };
    step(m_pView->verticalScrollBar(), Request(m_pos.y(), size.height(), kBorder));
    step(m_pView->horizontalScrollBar(), Request(m_pos.x(), size.width(), kBorder));
    if (moved)
        m_pView->viewport()->update();
    return moved;
}
