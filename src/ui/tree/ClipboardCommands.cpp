#include "ui/tree/ClipboardCommands.h"

#include "app/NotariumDoc.h"
#include "app/PayloadText.h"
#include "app/TreeWalk.h"
#include "platform/Strings.h"
#include "store/DataFormat.h"
#include "ui/common/CommandIds.h"
#include "ui/tree/ItemCommands.h"
#include "ui/tree/ItemMimeData.h"
#include "ui/tree/ItemPaste.h"
#include "ui/tree/TreePaneView.h"

#include <QClipboard>
#include <QGuiApplication>

#include <new>

CClipboardCommands::CClipboardCommands(CNotariumDoc& doc, CTreePaneView& tree,
                                       QClipboard* clipboard)
    : m_doc(doc), m_tree(tree), m_pClipboard(clipboard ? clipboard : QGuiApplication::clipboard()) {
}

void CClipboardCommands::Register(CItemCommands& items) {
    items.SetPaneCommand(ID_EDIT_CUT, {[this] { Cut(); }, [this] { return CanCut(); }});
    items.SetPaneCommand(ID_EDIT_COPY, {[this] { Copy(); }, [this] { return CanCopy(); }});
    items.SetPaneCommand(ID_EDIT_PASTE, {[this] { Paste(); }, [this] { return CanPaste(); }});
}

bool CClipboardCommands::CanCut() const {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM h = tree.GetSelectedItem();
    return m_doc.IsOpen() && h && tree.GetParentItem(h) != nullptr;
}

bool CClipboardCommands::CanCopy() const {
    return m_doc.IsOpen();
}

bool CClipboardCommands::CanPaste() const {
    if (!m_doc.IsOpen() || !m_pClipboard)
        return false;
    const QMimeData* mime = m_pClipboard->mimeData();
    return mime && mime->hasFormat(ItemFormatName());
}

bool CClipboardCommands::Copy() {
    m_tree.SyncSelection();
    HTREEITEM h = m_doc.Tree().GetSelectedItem();
    if (!h || !m_pClipboard)
        return false;
    IUiServices& ui = m_doc.Ui();
    return ReportingFailures(ui, [&] {
        std::vector<BYTE> payload = m_doc.CopyItems(h);
        if (payload.empty()) {
            ui.ReportError(kOutOfMemory);
            return false;
        }
        const std::string text = payload::PlainText(payload.data(), payload.size());
        auto* mime = new CItemMimeData(std::move(payload), QString::fromStdString(text));
        m_pClipboard->setMimeData(mime); // the clipboard owns it
        return true;
    });
}

void CClipboardCommands::Cut() {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM h = tree.GetSelectedItem();
    if (!h)
        return;
    if (nota::IsRootImage(treewalk::GetImage(tree, h)) || !tree.GetParentItem(h)) {
        m_doc.Ui().MessageBox(str::kCannotCutRoot, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Only what is safely on the clipboard may leave the file: the item's pending text
    // first (the copy would store it too, but go on when that fails), then the copy.
    if (!m_doc.StorePendingText() || !Copy())
        return;
    m_doc.DeleteItem(h);
}

void CClipboardCommands::Paste() {
    m_tree.SyncSelection();
    if (!m_pClipboard)
        return;
    PasteItemData(m_doc, m_pClipboard->mimeData(), m_doc.Tree().GetSelectedItem());
}
