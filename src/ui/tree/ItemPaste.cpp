#include "ui/tree/ItemPaste.h"

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "ui/tree/ItemMimeData.h"

#include <new>

bool PasteItemData(CNotariumDoc& doc, const QMimeData* mime, HTREEITEM target) {
    if (!mime || !mime->hasFormat(ItemFormatName()))
        return false;
    IUiServices& ui = doc.Ui();
    CTreeCtrl& tree = doc.Tree();
    return ReportingFailures(ui, [&] {
        // Data of this process is read where it lies; other data comes as a copy.
        CFetchedItems items;
        if (qobject_cast<const CItemMimeData*>(mime)) {
            items = FetchItemData(mime);
        } else {
            CWaitCursor wait(ui); // another process hands the data over, which takes a while
            items = FetchItemData(mime);
        }
        const BYTE* bytes = items.Data();
        const std::size_t size = items.Size();
        if (size == 0) {
            // The data could not be had. Our own data that failed to render has said why
            // already (a file error, or this same message).
            const auto* own = qobject_cast<const CItemMimeData*>(mime);
            if (!own || own->RenderCount() == 0)
                ui.ReportError(kOutOfMemory);
            return false;
        }
        HTREEITEM parent = target ? treewalk::GetFolderOf(tree, target) : tree.GetRootItem();
        HTREEITEM h = doc.InsertItems(parent, bytes, size);
        if (h)
            tree.SelectItem(h);
        else
            ui.Beep(); // nothing in it could be read
        return true;
    });
}
