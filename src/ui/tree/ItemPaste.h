#pragma once
// The one way items from elsewhere enter the tree: Paste (CClipboardCommands) and every drop
// (CTreeModel through CItemDrag).

#include "platform/TreeCtrl.h"

class CNotariumDoc;
class QMimeData;

// Inserts the items of mime's "NotariumData" under the folder of target (a textlet's folder,
// a folder itself; the root when there is no target) at their sorted place and selects the
// new item. False when mime offers no such data; errors are reported to the user with their
// own message, and a payload that could not be read at all only beeps.
bool PasteItemData(CNotariumDoc& doc, const QMimeData* mime, HTREEITEM target);
