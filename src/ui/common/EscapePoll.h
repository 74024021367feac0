#pragma once
// Escape for long work on the user-interface thread. Poll() keeps the window alive (paints,
// timers, the window system's events) and tells whether Escape was pressed since the last
// look; every other keystroke and mouse input meanwhile is swallowed, so no command can start
// inside the work. Poll() itself is cheap: it looks at the event queue at most once every
// kIntervalMs, so a caller may ask as often as it likes.

#include <QElapsedTimer>
#include <QObject>

class CEscapePoll : public QObject {
public:
    static constexpr int kIntervalMs = 20;

    CEscapePoll();
    // True once Escape has been pressed (and stays true).
    bool Poll();
    // Looks at the queue now, whatever the interval.
    bool PollNow();
    bool Pressed() const { return m_bPressed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer m_clock;
    bool m_bPressed = false;
};
