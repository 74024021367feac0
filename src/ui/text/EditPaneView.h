#pragma once
// The right pane: the selected item's text. It never touches the file and knows nothing of the
// tree: the tree pane has the document load the text into it and store it back, reading the
// changed flag to know when. The text crosses the ITextPane boundary as stored bytes with
// CR LF line breaks. A file dropped on it is not text for it: fileDropped hands it to the main
// window, which opens it.

#include "app/TextPane.h"

#include <QPlainTextEdit>

#include <optional>
#include <string>

struct CAppSettings;
class IUiServices;

class CEditPaneView : public QPlainTextEdit, public ITextPane {
    Q_OBJECT

public:
    CEditPaneView(CAppSettings& settings, IUiServices& ui, QWidget* parent = nullptr);

    // Font (the screen font setting), tab width and word wrap. Changing nothing keeps the
    // undo history and the scroll position.
    void ApplySettings();
    // Read-only unless the shown item is a textlet (code > 7) or folders have text; a negative
    // code (nothing shown) is always read-only. A folder that holds no text says so, on a
    // background that tells it from an empty textlet.
    void SetImageCode(int image);
    // A file opened to read: no item's text takes typing.
    void SetFileReadOnly(bool readOnly);
    int ImageCode() const { return m_nImage; }

    // Copies the whole text to the clipboard as plain text; the selection stays as it is.
    void CopyAllText();

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
    // What a folder's read-only pane shows in place of text.
    static constexpr const char* kNoFolderText = "Folders hold no text.";

signals:
    void contextMenuRequested(const QPoint& globalPos);
    void fileDropped(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CAppSettings& m_settings;
    IUiServices& m_ui;
    int m_nImage = -1;
    bool m_bFileReadOnly = false;
    bool m_bTextChanged = false; // set at every change of the text; cleared by the tree pane
    mutable std::optional<std::string> m_stored; // GetWindowText's result until the next change

    void OnChange();
    void UpdateReadOnly();
};
