#include "ui/tree/TreeScrolling.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

void SetTreeScrolling(QTreeView* view) {
    view->setTextElideMode(Qt::ElideNone);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    // Wide enough for the widest title among the rows near the visible ones (the header
    // measures a bounded number of rows, so this stays cheap in a tree of a million items).
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                     [view] { KeepCurrentInView(view); });
    // The rows measured are those near the visible ones: after scrolling through the tree,
    // measure again (once the scrolling pauses).
    auto* measure = new QTimer(view);
    measure->setSingleShot(true);
    measure->setInterval(60);
    QObject::connect(measure, &QTimer::timeout, header,
                     [header] { header->resizeSections(QHeaderView::ResizeToContents); });
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, measure,
                     qOverload<>(&QTimer::start));
}

void KeepCurrentInView(QTreeView* view) {
    const QModelIndex current = view->currentIndex();
    if (!current.isValid() || !view->isVisible())
        return;
    const QRect viewport = view->viewport()->rect();
    QRect rect = view->visualRect(current);
    if (rect.top() < viewport.top() || rect.bottom() > viewport.bottom()) {
        // The view's own scrollTo would also jump sideways to the column's start.
        QScrollBar* bar = view->horizontalScrollBar();
        const int across = bar->value();
        view->scrollTo(current);
        bar->setValue(across);
        rect = view->visualRect(current);
    }
    // Sideways only when none of the label can be seen.
    const int labelEnd = rect.left() + view->sizeHintForIndex(current).width();
    if (labelEnd <= viewport.left() + view->indentation() ||
        rect.left() >= viewport.right() - view->indentation()) {
        QScrollBar* bar = view->horizontalScrollBar();
        bar->setValue(bar->value() + rect.left() - view->indentation());
    }
}
