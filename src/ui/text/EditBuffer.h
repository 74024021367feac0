#pragma once
// The edit pane as the buffer of the current-textlet searches and the Replace run: its text in
// UTF-16 positions, its selection, replacements as undoable edits and the case-blind
// comparison of Qt's Unicode case folding.

#include "app/TextFind.h"

#include <QMetaObject>
#include <QString>

class QPlainTextEdit;

class CEditBuffer : public IEditBuffer {
public:
    explicit CEditBuffer(QPlainTextEdit& edit);
    ~CEditBuffer() override;
    CEditBuffer(const CEditBuffer&) = delete;
    CEditBuffer& operator=(const CEditBuffer&) = delete;

    std::u16string_view Text() const override;
    void GetSel(int& start, int& end) const override;
    // Selects [start, end) (positions clamped to the text), the caret at end, and scrolls it
    // into view.
    void SetSel(int start, int end) override;
    // Does nothing on a read-only pane, so no run can change a text the user cannot edit.
    void ReplaceSel(std::u16string_view text) override;
    bool Equal(std::u16string_view a, std::u16string_view b, bool matchCase) const override;
    void LockUpdates(bool lock) override;

private:
    QPlainTextEdit& m_edit;
    mutable QString m_text; // the pane's text as Text() last returned it
    mutable bool m_bStale = true;
    QMetaObject::Connection m_changed;
};
