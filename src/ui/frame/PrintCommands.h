#pragma once
// The window's printing commands and Date and Time: Print (from either pane), Print Preview,
// Page Setup and the insertion of the date or time at the edit pane's caret. It owns the one
// print service of the window, which holds the current printer for every job and for Page
// Setup. What is printed is always the edit pane's text (or its selection), handed over as a
// copy: the pane's text, selection and changed flag stay as they were.

#include "ui/print/PrintService.h"

class CCommandRouter;
class CEditPaneView;
class CNotariumDoc;
class CTreePaneView;
class QWidget;

class CPrintCommands {
public:
    // parent: the window the dialogs belong to. All references must outlive this object.
    CPrintCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, CTreePaneView& tree,
                   CEditPaneView& edit, QWidget* parent);

    // Registers Print (both panes), Print Preview and Page Setup (frame) and Date and Time
    // (edit pane only, so it is disabled while the tree pane is active).
    void Register(CCommandRouter& router);

    // The print service; tests replace its dialogs here.
    CPrintService& Service() { return m_service; }

    // What Print and Print Preview print now: the selected item's current text and codes.
    PRINTSOURCE CurrentSource();

    void OnPrint();
    void OnPrintPreview();
    void OnPageSetup();
    void OnDateTime();
    // Print and Print Preview need an open file; Date and Time an editable pane.
    bool CanPrint() const;
    bool CanInsertDate() const;

private:
    CNotariumDoc& m_doc;
    CTreePaneView& m_tree;
    CEditPaneView& m_edit;
    QWidget* m_pParent;
    CPrintService m_service;
};
