#include "ui/tree/TreeScrolling.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {

// Starts the measuring when the pane changes its size or is shown.
class CResizeWatch : public QObject {
public:
    explicit CResizeWatch(QTimer* fit) : QObject(fit), m_fit(fit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            m_fit->start();
        return QObject::eventFilter(watched, event);
    }

private:
    QTimer* m_fit;
};

// The column as wide as the widest title among the rows near the visible ones (the header
// measures a bounded number of rows, so this stays cheap in a tree of a million items), and
// never narrower than the pane, so that a selected row is highlighted across it.
void FitColumn(QTreeView* view) {
    QHeaderView* header = view->header();
    if (header->count() == 0)
        return;
    header->resizeSections(QHeaderView::ResizeToContents);
    const int wanted = std::max(header->sectionSize(0), view->viewport()->width());
    if (header->sectionSize(0) != wanted)
        header->resizeSection(0, wanted);
}

} // namespace

void SetTreeScrolling(QTreeView* view) {
    view->setTextElideMode(Qt::ElideNone);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                     [view] { KeepCurrentInView(view); });
    // Measured again, once per turn of the event loop, after whatever can change the widest
    // title in sight or the pane's width.
    auto* fit = new QTimer(view);
    fit->setSingleShot(true);
    fit->setInterval(0);
    QObject::connect(fit, &QTimer::timeout, view, [view] { FitColumn(view); });
    auto later = [fit] { fit->start(); };
    QAbstractItemModel* model = view->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, fit, later);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, fit, later);
    QObject::connect(model, &QAbstractItemModel::modelReset, fit, later);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, fit, later);
    QObject::connect(model, &QAbstractItemModel::dataChanged, fit, later);
    QObject::connect(view, &QTreeView::expanded, fit, later);
    QObject::connect(view, &QTreeView::collapsed, fit, later);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, fit, later);
    view->viewport()->installEventFilter(new CResizeWatch(fit));
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
