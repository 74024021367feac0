#include "app/TextFind.h"

namespace textfind {

namespace {

int Len(std::u16string_view s) {
    return static_cast<int>(s.size());
}

bool SelectionEquals(IEditBuffer& buf, std::u16string_view pattern, bool matchCase) {
    int start = 0, end = 0;
    buf.GetSel(start, end);
    std::u16string_view text = buf.Text();
    if (end - start != Len(pattern) || start < 0 || end > Len(text))
        return false;
    std::u16string_view sel = text.substr(static_cast<std::size_t>(start), pattern.size());
    return matchCase ? sel == pattern : buf.Equal(sel, pattern, false);
}

bool SliceEquals(IEditBuffer& buf, std::u16string_view text, int pos, std::u16string_view pattern,
                 bool matchCase) {
    std::u16string_view slice = text.substr(static_cast<std::size_t>(pos), pattern.size());
    if (matchCase)
        return slice == pattern;
    return buf.Equal(slice, pattern, false);
}

} // namespace

bool FindText(IEditBuffer& buf, std::u16string_view pattern, bool forward, bool matchCase) {
    std::u16string_view text = buf.Text();
    const int n = Len(text), m = Len(pattern);
    if (m == 0 || m > n)
        return false;
    int start = 0, end = 0;
    buf.GetSel(start, end);
    int pos;
    if (forward) {
        pos = start + (start != end && SelectionEquals(buf, pattern, matchCase) ? 1 : 0);
        for (; pos <= n - m; ++pos)
            if (SliceEquals(buf, text, pos, pattern, matchCase))
                break;
        if (pos > n - m)
            return false;
    } else {
        if (start <= 0)
            return false;
        pos = start - 1;
        if (pos > n - m)
            pos = n - m;
        for (; pos >= 0; --pos)
            if (SliceEquals(buf, text, pos, pattern, matchCase))
                break;
        if (pos < 0)
            return false;
    }
    buf.SetSel(pos, pos + m);
    return true;
}

bool FindNextInText(IEditBuffer& buf, std::u16string_view pattern, bool matchCase) {
    int start = 0, end = 0;
    buf.GetSel(start, end);
    if (FindText(buf, pattern, true, matchCase))
        return true;
    if (start > 0) {
        buf.SetSel(0, 0);
        if (FindText(buf, pattern, true, matchCase))
            return true;
        buf.SetSel(start, end);
    }
    return false;
}

bool FindPrevInText(IEditBuffer& buf, std::u16string_view pattern, bool matchCase) {
    int start = 0, end = 0;
    buf.GetSel(start, end);
    if (FindText(buf, pattern, false, matchCase))
        return true;
    const int n = Len(buf.Text());
    if (start < n) {
        buf.SetSel(n, n);
        if (FindText(buf, pattern, false, matchCase))
            return true;
        buf.SetSel(start, end);
    }
    return false;
}

} // namespace textfind

std::string CReplaceRun::FinishMessage(int count) {
    std::string text = "Notarium has finished searching the current textlet or folder.";
    if (count > 0)
        text += " " + std::to_string(count) + " replacement(s) made.";
    return text;
}

void CReplaceRun::ReplaceSelection(const SEARCHSTEP& step) {
    m_buf.ReplaceSel(step.strReplace);
    int start = 0, end = 0;
    m_buf.GetSel(start, end);
    if (end < m_nSearchStart)
        m_nSearchStart +=
            static_cast<int>(step.strReplace.size()) - static_cast<int>(step.strFind.size());
}

int CReplaceRun::FindNextStep(const SEARCHSTEP& step) {
    for (;;) {
        if (textfind::FindText(m_buf, step.strFind, true, step.bMatchCase)) {
            int start = 0, end = 0;
            m_buf.GetSel(start, end);
            return m_bSearchWrapped && start >= m_nSearchStart ? 0 : 1;
        }
        if (m_nSearchStart <= 0 || m_bSearchWrapped)
            return 0;
        m_buf.SetSel(0, 0);
        m_bSearchWrapped = true;
    }
}

int CReplaceRun::SearchStep(const SEARCHSTEP& step) {
    int start = 0, end = 0;
    switch (step.nStep) {
    case SEARCHSTEP::begin:
        m_buf.GetSel(start, end);
        m_nSearchStart = start;
        m_bSearchWrapped = false;
        m_nReplaceCount = 0;
        m_strMessage.clear();
        return 1;
    case SEARCHSTEP::finish:
        m_buf.SetSel(m_nSearchStart, m_nSearchStart);
        m_strMessage = step.bQuiet ? std::string() : FinishMessage(m_nReplaceCount);
        m_nSearchStart = -1;
        return 1;
    case SEARCHSTEP::replace: {
        m_buf.GetSel(start, end);
        std::u16string_view text = m_buf.Text();
        bool equal = end - start == static_cast<int>(step.strFind.size()) && start >= 0 &&
                     end <= static_cast<int>(text.size());
        if (equal) {
            std::u16string_view sel =
                text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
            equal = step.bMatchCase ? sel == std::u16string_view(step.strFind)
                                    : m_buf.Equal(sel, step.strFind, false);
        }
        if (equal)
            ReplaceSelection(step); // counted only by Replace All
        return FindNextStep(step);
    }
    case SEARCHSTEP::findNext:
        return FindNextStep(step);
    case SEARCHSTEP::replaceAll:
        m_buf.LockUpdates(true);
        m_buf.SetSel(0, 0);
        while (textfind::FindText(m_buf, step.strFind, true, step.bMatchCase)) {
            ReplaceSelection(step);
            ++m_nReplaceCount;
        }
        m_buf.SetSel(m_nSearchStart, m_nSearchStart);
        m_buf.LockUpdates(false);
        return 0;
    default:
        return 1;
    }
}
