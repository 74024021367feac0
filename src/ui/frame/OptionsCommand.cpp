#include "ui/frame/OptionsCommand.h"

#include "ui/common/CommandIds.h"
#include "ui/common/CommandRouter.h"
#include "ui/common/FontConvert.h"
#include "ui/frame/MainFrame.h"
#include "ui/options/OptionsSheet.h"

namespace {

// The sheet numbers the bars as the frame does: 0 main toolbar, 1 bookmarks, 2 status bar.
bool IsBar(int bar) {
    return bar >= 0 && bar <= 2;
}

} // namespace

OPTIONSCONTEXT MakeOptionsContext(const OptionsTarget& target) {
    CMainFrame* frame = &target.frame;
    OPTIONSCONTEXT ctx;
    ctx.settings = &target.settings;
    ctx.ui = &target.ui;
    ctx.lastPage = &target.lastPage;
    ctx.store = &target.store;
    ctx.saved = &target.saved;
    ctx.logPixelsY = ScreenLogPixelsY();
    ctx.isBarVisible = [frame](int bar) {
        return IsBar(bar) && frame->IsBarVisible(static_cast<CMainFrame::Bar>(bar));
    };
    ctx.showBar = [frame](int bar, bool show) {
        if (IsBar(bar))
            frame->ShowBar(static_cast<CMainFrame::Bar>(bar), show);
    };
    ctx.applySettings = [frame] { frame->ApplySettings(); };
    return ctx;
}

void RegisterOptionsCommand(CCommandRouter& router, OptionsTarget target) {
    router.Set(CommandLevel::App, ID_OPTIONS,
               [target] { RunOptionsSheet(MakeOptionsContext(target), &target.frame); });
}
