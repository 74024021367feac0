#pragma once
// Find and replace in the current textlet, on an edit buffer with a selection: the search
// that resumes after a selection equal to the pattern, Find Next / Previous with one wrap,
// and the Replace dialog's run (find next, replace, replace all, the replacement count).
// Positions are UTF-16 code units of the text as the edit pane shows it.

#include <string>
#include <string_view>

// What the searches need of an edit control.
class IEditBuffer {
public:
    virtual ~IEditBuffer() = default;
    virtual std::u16string_view Text() const = 0;
    virtual void GetSel(int& start, int& end) const = 0;
    // Selects [start, end) and scrolls it into view.
    virtual void SetSel(int start, int end) = 0;
    // Replaces the selection as one undoable change; the caret ends after the new text.
    virtual void ReplaceSel(std::u16string_view text) = 0;
    // The locale's comparison of two equally long slices; without match case it ignores the
    // case of every letter the locale knows, not only ASCII.
    virtual bool Equal(std::u16string_view a, std::u16string_view b, bool matchCase) const = 0;
    // Holds back repaints for the duration of Replace All.
    virtual void LockUpdates(bool /*lock*/) {}
};

namespace textfind {

// The edit control's own search. Forward it starts at the selection start, or one character
// later when the selection equals the pattern; backward one character before the selection
// start (nothing from 0), no later than where the pattern still fits. The match is selected.
bool FindText(IEditBuffer& buf, std::u16string_view pattern, bool forward, bool matchCase);

// Find Next in the current textlet: from the selection, then once more from the top when the
// search did not start there. Not found: the selection is as before and the caller reports
// "Cannot find the string '%s'.".
bool FindNextInText(IEditBuffer& buf, std::u16string_view pattern, bool matchCase);
// The mirror image, wrapping once to the end of the text.
bool FindPrevInText(IEditBuffer& buf, std::u16string_view pattern, bool matchCase);

} // namespace textfind

// SEARCHSTEP of the Replace dialog.
struct SEARCHSTEP {
    enum { begin = 0, finish = 1, findNext = 2, replace = 3, replaceAll = 4 };
    int nStep = begin;
    std::u16string strFind;
    std::u16string strReplace;
    bool bMatchCase = false;
    bool bQuiet = false; // finish without the message
};

// One Replace run over an edit buffer: from Begin until a step reports it complete.
class CReplaceRun {
public:
    explicit CReplaceRun(IEditBuffer& buf) : m_buf(buf) {}

    // 1 continue, 0 the run is complete. Finish puts the caret back where the run began and,
    // unless quiet, sets Message() to the text to show.
    int SearchStep(const SEARCHSTEP& step);

    int StartPos() const { return m_nSearchStart; } // -1 when no run
    bool Wrapped() const { return m_bSearchWrapped; }
    int ReplaceCount() const { return m_nReplaceCount; } // Replace All's replacements
    const std::string& Message() const { return m_strMessage; }

    // The message at the end of a run with count replacements.
    static std::string FinishMessage(int count);

private:
    IEditBuffer& m_buf;
    int m_nSearchStart = -1;
    bool m_bSearchWrapped = false;
    int m_nReplaceCount = 0;
    std::string m_strMessage;

    int FindNextStep(const SEARCHSTEP& step);
    void ReplaceSelection(const SEARCHSTEP& step);
};
