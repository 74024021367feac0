#pragma once
// Trees that draw their connecting lines: the dotted lines between an item and its parent and
// siblings, and the plus and minus boxes, whatever the application's style draws itself (many
// styles draw only arrows). Everything else is drawn by the application's style.

class QAbstractItemView;

// Makes view draw its branches with lines. The style is shared and lives as long as the
// application.
void SetTreeLineStyle(QAbstractItemView* view);
