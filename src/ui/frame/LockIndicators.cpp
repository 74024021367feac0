#include "ui/frame/LockIndicators.h"

#include <QGuiApplication>

#ifdef NOTA_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace {

#ifdef NOTA_HAVE_X11
bool IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on != False;
}
#endif

} // namespace

std::optional<LockStates> QueryLockStates() {
#if defined(NOTA_HAVE_X11) && QT_CONFIG(xcb)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    LockStates states;
    states.bCaps = IndicatorOn(display, "Caps Lock");
    states.bNum = IndicatorOn(display, "Num Lock");
    states.bScroll = IndicatorOn(display, "Scroll Lock");
    return states;
#else
    return std::nullopt;
#endif
}
