#pragma once
// Routes commands as the window's command map does: the active pane first, then the
// document, the frame and the application. Each level maps a command id to a handler and
// an enable rule; a command that no level handles is disabled. Later features plug in by
// registering a handler for their id at the level that owns it.

#include "platform/Types.h"

#include <array>
#include <functional>
#include <map>

enum class CommandLevel { TreePane, EditPane, Document, Frame, App };

struct CommandHandler {
    std::function<void()> run;
    std::function<bool()> enabled; // empty: always enabled
};

class CCommandRouter {
public:
    void Set(CommandLevel level, UINT id, std::function<void()> run,
             std::function<bool()> enabled = {});
    void Remove(CommandLevel level, UINT id);

    // The pane that gets the pane-level commands (TreePane or EditPane).
    void SetActivePane(CommandLevel pane) { m_activePane = pane; }
    CommandLevel ActivePane() const { return m_activePane; }

    // The handler that takes id now, or null.
    const CommandHandler* Route(UINT id) const;
    bool IsEnabled(UINT id) const;
    // Runs id when it is handled and enabled; true when it ran.
    bool Execute(UINT id);
    // True while a command handler runs (deferred work waits until it returns).
    bool IsRunning() const { return m_nRunning > 0; }

private:
    std::array<std::map<UINT, CommandHandler>, 5> m_levels;
    CommandLevel m_activePane = CommandLevel::TreePane;
    int m_nRunning = 0;
};
