#include "ui/frame/PrintCommands.h"

#include "app/NotariumDoc.h"
#include "ui/common/CommandIds.h"
#include "ui/common/CommandRouter.h"
#include "ui/text/DateTimeDlg.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/TreePaneView.h"

CPrintCommands::CPrintCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                               CTreePaneView& tree, CEditPaneView& edit, QWidget* parent)
    : m_doc(doc), m_tree(tree), m_edit(edit), m_pParent(parent), m_service(settings, ui) {}

void CPrintCommands::Register(CCommandRouter& router) {
    auto canPrint = [this] { return CanPrint(); };
    // The tree pane's Print prints the edit pane's text, as the edit pane's own does.
    for (CommandLevel pane : {CommandLevel::EditPane, CommandLevel::TreePane})
        router.Set(
            pane, ID_FILE_PRINT, [this] { OnPrint(); }, canPrint);
    router.Set(
        CommandLevel::Frame, ID_FILE_PRINT_PREVIEW, [this] { OnPrintPreview(); }, canPrint);
    router.Set(CommandLevel::Frame, ID_FILE_PAGE_SETUP, [this] { OnPageSetup(); });
    router.Set(
        CommandLevel::EditPane, ID_DATE_TIME, [this] { OnDateTime(); },
        [this] { return CanInsertDate(); });
}

bool CPrintCommands::CanPrint() const {
    return m_doc.IsOpen();
}

bool CPrintCommands::CanInsertDate() const {
    return CanInsertDateTime(m_edit);
}

PRINTSOURCE CPrintCommands::CurrentSource() {
    // A pending load of the selected item's text completes first: the pane must hold it.
    m_tree.SyncSelection();
    return MakePrintSource(m_edit.PaneText(), m_doc.GetPathName(), m_tree.Tree());
}

void CPrintCommands::OnPrint() {
    const PRINTSOURCE source = CurrentSource();
    m_service.Print(source, m_edit.textCursor().selectedText(), m_pParent);
}

void CPrintCommands::OnPrintPreview() {
    m_service.PrintPreview(CurrentSource(), m_pParent);
}

void CPrintCommands::OnPageSetup() {
    m_service.PageSetup(m_pParent);
}

void CPrintCommands::OnDateTime() {
    CDateTimeDlg dlg(m_pParent);
    if (dlg.exec() == QDialog::Accepted && CanInsertDate())
        InsertDateTime(m_edit, dlg.m_strSelected);
    m_edit.setFocus();
}
