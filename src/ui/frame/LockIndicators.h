#pragma once
// The keyboard's lock states for the status bar's CAP, NUM and SCRL indicators, where the
// platform reports them: on X11 through the XKB extension. Elsewhere (Wayland, the offscreen
// platform) nothing reports them, and the indicators are left out.

#include <optional>

struct LockStates {
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;
};

// The lock states now; nothing when the platform cannot tell.
std::optional<LockStates> QueryLockStates();
