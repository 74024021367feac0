#pragma once
// The idle step: once something has happened and the event queue has become empty, runs the
// work it was given (the enable rules, the tree pane's deferred selection work). It is the
// only place deferred work runs from, and it never runs inside a modal dialog, a menu, a long
// operation (the wait cursor is shown, Escape is being polled), while the busy test says so
// (a command is running), nor inside itself.

#include <QObject>
#include <QTimer>

#include <functional>

class CIdleStep : public QObject {
public:
    // work: what the step does; busy (may be empty): true while the step must wait.
    explicit CIdleStep(std::function<void()> work, std::function<bool()> busy = {},
                       QObject* parent = nullptr);
    ~CIdleStep() override;
    CIdleStep(const CIdleStep&) = delete;
    CIdleStep& operator=(const CIdleStep&) = delete;

    // Runs the step now unless a guard says no; true when it ran.
    bool Run();
    // No more steps (the program is ending).
    void Stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_work;
    std::function<bool()> m_busy;
    QTimer m_timer;
    static constexpr int kRetryMs = 100;
    bool m_bRunning = false;
    bool m_bStopped = false;
};

// Hands every event of the application to a function first (F1 in dialogs, lock keys).
class CEventWatch : public QObject {
public:
    // filter: true when it took the event.
    explicit CEventWatch(std::function<bool(QObject*, QEvent*)> filter, QObject* parent = nullptr);
    ~CEventWatch() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(QObject*, QEvent*)> m_filter;
};
