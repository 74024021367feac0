#pragma once
// How the tree pane scrolls: the current item is kept in view whatever moved it (the arrow
// keys, Page Up/Down, Home and End as much as Find), even though the view's own automatic
// scrolling is off so that a drag scrolls only through CDragScroller; and long titles are
// shown whole, with a horizontal scroll bar, instead of being cut with an ellipsis.

class QTreeView;

// Sets up view once its model is set. Needs a view with a single column; the view's selection
// model must not be replaced afterwards (the connection follows the one there now).
void SetTreeScrolling(QTreeView* view);

// Scrolls view so that its current item's row lies inside the viewport, moving sideways only
// when the start of the item's label would be out of sight. Does nothing while the view is
// hidden or has no current item.
void KeepCurrentInView(QTreeView* view);
