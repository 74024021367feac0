#pragma once
// The right pane: the selected item's text. It never touches the file: the tree pane has the
// document load the text into it and store it back, reading the changed flag to know when.
// The text crosses the ITextPane boundary as stored bytes with CR LF line breaks.

#include "app/TextPane.h"

#include <QPlainTextEdit>

#include <optional>
#include <string>

struct CAppSettings;
class IUiServices;
class CTreePaneView;

class CEditPaneView : public QPlainTextEdit, public ITextPane {
    Q_OBJECT

public:
    CEditPaneView(CAppSettings& settings, IUiServices& ui, QWidget* parent = nullptr);

    // Font (the screen font setting), tab width and word wrap. Changing nothing keeps the
    // undo history and the scroll position.
    void ApplySettings();
    // Read-only unless the shown item is a textlet (code > 7) or folders have text; a negative
    // code (nothing shown) is always read-only.
    void SetImageCode(int image);
    int ImageCode() const { return m_nImage; }

    // Copies the selected item's whole text to the clipboard as plain text, after committing
    // pending edits and any deferred load; the selection stays as it is.
    void QuickCopy(CTreePaneView& tree);
    void QuickCopy(); // through the tree pane set by SetTreePane
    void SetTreePane(CTreePaneView* tree) { m_pTree = tree; }

    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;
    bool CanUndo() const;

    // ITextPane: stored bytes, CR LF line breaks.
    std::size_t GetWindowTextLength() const override;
    std::string GetWindowText() const override;
    void SetWindowText(const std::string& bytes) override;
    bool IsTextChanged() const override { return m_bTextChanged; }
    void SetTextChanged(bool changed) override { m_bTextChanged = changed; }

    // The text as the pane shows it (LF line breaks, no character replaced).
    QString PaneText() const;

    // Set at every change of the text; read and cleared by the tree pane.
    bool m_bTextChanged = false;

signals:
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CAppSettings& m_settings;
    IUiServices& m_ui;
    CTreePaneView* m_pTree = nullptr; // cleared by the tree pane when it goes
    int m_nImage = -1;
    mutable std::optional<std::string> m_stored; // GetWindowText's result until the next change

    void OnChange();
    void UpdateReadOnly();
};
