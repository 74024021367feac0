#include "ui/tree/ItemCommands.h"

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/Strings.h"
#include "store/DataFormat.h"
#include "ui/common/CommandIds.h"
#include "ui/common/QtText.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/AddItemDlg.h"
#include "ui/tree/TreePaneView.h"

CItemCommands::CItemCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                             CTreePaneView& tree, CEditPaneView& edit)
    : m_doc(doc), m_settings(settings), m_ui(ui), m_tree(tree), m_edit(edit) {}

void CItemCommands::Register(CCommandRouter& router) {
    auto fileOpen = [this] { return m_doc.IsOpen(); };
    router.Set(
        CommandLevel::Frame, ID_ADD_ITEM, [this] { AddItem(m_tree.window()); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_DELETE_ITEM, [this] { DeleteSelectedItem(); },
        [this] { return CanDeleteItem(); });
    router.Set(
        CommandLevel::Frame, ID_RENAME, [this] { Rename(); }, [this] { return HasSelection(); });
    router.Set(
        CommandLevel::Frame, ID_QUICK_COPY, [this] { QuickCopy(); }, [this] { return HasText(); });
}

void CItemCommands::SetPaneCommand(UINT id, CommandHandler handler) {
    m_paneCommands[id] = std::move(handler);
}

const CommandHandler* CItemCommands::PaneCommand(UINT id) const {
    auto it = m_paneCommands.find(id);
    return it == m_paneCommands.end() ? nullptr : &it->second;
}

bool CItemCommands::HasSelection() const {
    return m_doc.Tree().GetSelectedItem() != nullptr;
}

bool CItemCommands::HasText() const {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM h = tree.GetSelectedItem();
    return h && tree.GetItemData(h) != 0;
}

bool CItemCommands::CanDeleteItem() const {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM h = tree.GetSelectedItem();
    return h && tree.GetParentItem(h) != nullptr;
}

void CItemCommands::Rename() {
    m_tree.Rename();
}

void CItemCommands::QuickCopy() {
    m_tree.SyncSelection();
    m_edit.CopyAllText();
}

void CItemCommands::DeleteSelectedItem() {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM h = tree.GetSelectedItem();
    if (!h)
        return;
    const std::string title = enc::CutToBytes(tree.GetItemText(h), nota::MAX_TITLE);
    if (nota::IsRootImage(treewalk::GetImage(tree, h))) {
        m_ui.MessageBox(str::kCannotDeleteRoot, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_settings.m_bConfirmDelete) {
        std::string question = str::kDeleteQuestion;
        question.replace(question.find("%s"), 2, enc::DecodeStored(title));
        if (tree.ItemHasChildren(h))
            question += str::kDeleteFolderWarning;
        if (m_ui.MessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    m_doc.DeleteItem(h);
}

void CItemCommands::AddItem(QWidget* dialogParent) {
    CAddItemDlg dlg(m_doc.Tree(), dialogParent);
    dlg.SetItemKind(CAddItemDlg::ItemKind::Textlet);
    QObject::connect(&dlg, &CAddItemDlg::helpRequested, &dlg, [this](const QString& topic) {
        if (m_onHelp)
            m_onHelp(topic);
    });
    if (dlg.exec() == QDialog::Accepted)
        InsertFromDialog(dlg);
}

HTREEITEM CItemCommands::InsertFromDialog(const CAddItemDlg& dlg) {
    CWaitCursor wait(m_ui);
    return m_doc.InsertNewItem(dlg.TargetFolder(), QStringToBytes(dlg.Name()),
                               dlg.GetItemKind() == CAddItemDlg::ItemKind::Folder);
}
