#include "ui/common/CommandRouter.h"

namespace {
std::size_t Index(CommandLevel level) {
    return static_cast<std::size_t>(level);
}
} // namespace

void CCommandRouter::Set(CommandLevel level, UINT id, std::function<void()> run,
                         std::function<bool()> enabled) {
    m_levels[Index(level)][id] = CommandHandler{std::move(run), std::move(enabled)};
}

void CCommandRouter::Remove(CommandLevel level, UINT id) {
    m_levels[Index(level)].erase(id);
}

const CommandHandler* CCommandRouter::Route(UINT id) const {
    const CommandLevel order[] = {m_activePane, CommandLevel::Document, CommandLevel::Frame,
                                  CommandLevel::App};
    for (CommandLevel level : order) {
        const auto& map = m_levels[Index(level)];
        if (auto it = map.find(id); it != map.end())
            return &it->second;
    }
    return nullptr;
}

bool CCommandRouter::IsEnabled(UINT id) const {
    const CommandHandler* h = Route(id);
    return h && h->run && (!h->enabled || h->enabled());
}

bool CCommandRouter::Execute(UINT id) {
    const CommandHandler* h = Route(id);
    if (!h || !h->run || (h->enabled && !h->enabled()))
        return false;
    // Copy: the handler may change the routing table while it runs.
    const std::function<void()> run = h->run;
    ++m_nRunning;
    struct Guard {
        int& n;
        ~Guard() { --n; }
    } guard{m_nRunning};
    run();
    return true;
}
