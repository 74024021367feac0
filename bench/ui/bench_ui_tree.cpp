// Timings of the tree pane on a big tree: building the model for 1,000,000 items, selecting
// items, expanding a folder of 100,000 children, scrolling it, and Expand/Collapse All.
// Runs under the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/TreeModel.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::string Title(const char* prefix, int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s %07d", prefix, i);
    return buf;
}

// Root, 900 folders of 1,000 textlets, and one folder of 100,000: 1,001,902 items.
HTREEITEM Fill(CTreeCtrl& tree, std::vector<HTREEITEM>& items) {
    CTreeUpdateLock lock(tree);
    HTREEITEM root = tree.InsertItem("Notarium", 0, 0);
    for (int f = 0; f < 900; ++f) {
        HTREEITEM folder = tree.InsertItem(Title("folder", f), 4, 4, root, TVI_SORT);
        for (int t = 0; t < 1000; ++t)
            items.push_back(tree.InsertItem(Title("note", t), 8, 8, folder, TVI_SORT));
    }
    HTREEITEM big = tree.InsertItem("zz big folder", 4, 4, root, TVI_SORT);
    for (int t = 0; t < 100000; ++t)
        items.push_back(tree.InsertItem(Title("item", t), 8, 8, big, TVI_SORT));
    tree.Expand(root, TVE_EXPAND);
    tree.SelectItem(root);
    return big;
}

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    CEditPaneView edit(settings, ui);
    CTreePaneView pane(doc, settings, ui);
    pane.SetEditPane(&edit);
    pane.resize(300, 800);
    pane.show();
    QApplication::processEvents();

    std::vector<HTREEITEM> items;
    auto t0 = Clock::now();
    HTREEITEM big = Fill(pane.Tree(), items);
    const double fill = Ms(t0);
    t0 = Clock::now();
    QApplication::processEvents(); // model reset, expansion and current item shown, first layout
    pane.viewport()->repaint();
    std::printf("items in tree:                        %u\n", pane.Tree().GetCount());
    std::printf("fill CTreeCtrl (locked, sorted):      %8.1f ms\n", fill);
    std::printf("model reset + first layout and paint: %8.1f ms\n", Ms(t0));

    std::mt19937 random(42);
    const int kSelections = 2000;
    t0 = Clock::now();
    for (int i = 0; i < kSelections; ++i)
        pane.Tree().SelectItem(items[random() % items.size()]);
    QApplication::processEvents();
    std::printf("select by the control (parent opens): %8.3f ms each (%d)\n", Ms(t0) / kSelections,
                kSelections);

    pane.CollapseAll();
    QApplication::processEvents();
    pane.expand(pane.Model().IndexOf(pane.Tree().GetRootItem()));
    QApplication::processEvents();
    pane.viewport()->repaint();
    const QModelIndex bigIndex = pane.Model().IndexOf(big);
    t0 = Clock::now();
    pane.expand(bigIndex);
    QApplication::processEvents();
    pane.viewport()->repaint();
    if (!pane.isExpanded(bigIndex) || pane.verticalScrollBar()->maximum() < 100000)
        std::printf("(the big folder did not open)\n");
    std::printf("expand folder of %zu children:     %8.1f ms\n", pane.Tree().GetChildCount(big),
                Ms(t0));

    t0 = Clock::now();
    for (int i = 0; i < kSelections; ++i)
        pane.setCurrentIndex(pane.Model().index(static_cast<int>(random() % 100000), 0, bigIndex));
    QApplication::processEvents();
    std::printf("select by the view in that folder:    %8.3f ms each (%d)\n", Ms(t0) / kSelections,
                kSelections);

    QScrollBar* bar = pane.verticalScrollBar();
    const int kPages = 500;
    t0 = Clock::now();
    for (int i = 0; i < kPages; ++i) {
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * i / kPages));
        pane.viewport()->repaint();
    }
    std::printf("scroll + repaint:                     %8.3f ms per page (%d pages)\n",
                Ms(t0) / kPages, kPages);

    t0 = Clock::now();
    pane.ExpandAll();
    QApplication::processEvents();
    pane.viewport()->repaint();
    std::printf("Expand All (1,000,000 items):         %8.1f ms\n", Ms(t0));
    t0 = Clock::now();
    bar->setValue(bar->maximum() / 2);
    pane.viewport()->repaint();
    std::printf("scroll to the middle after that:      %8.3f ms\n", Ms(t0));
    t0 = Clock::now();
    pane.CollapseAll();
    QApplication::processEvents();
    pane.viewport()->repaint();
    std::printf("Collapse All:                         %8.1f ms\n", Ms(t0));
    return 0;
}
