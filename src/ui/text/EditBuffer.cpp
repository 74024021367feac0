#include "ui/text/EditBuffer.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace {

QString PlainText(const QPlainTextEdit& edit) {
    // Block separators as line feeds: one position each, as the cursor counts them.
    QString text = edit.document()->toPlainText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString FromView(std::u16string_view s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

} // namespace

CEditBuffer::CEditBuffer(QPlainTextEdit& edit) : m_edit(edit) {
    m_changed = QObject::connect(m_edit.document(), &QTextDocument::contentsChange, &m_edit,
                                 [this](int, int, int) { m_bStale = true; });
}

CEditBuffer::~CEditBuffer() {
    QObject::disconnect(m_changed);
}

std::u16string_view CEditBuffer::Text() const {
    if (m_bStale) {
        m_text = PlainText(m_edit);
        m_bStale = false;
    }
    return {reinterpret_cast<const char16_t*>(m_text.utf16()),
            static_cast<std::size_t>(m_text.size())};
}

void CEditBuffer::GetSel(int& start, int& end) const {
    const QTextCursor c = m_edit.textCursor();
    start = c.selectionStart();
    end = c.selectionEnd();
}

void CEditBuffer::SetSel(int start, int end) {
    const int n = static_cast<int>(Text().size());
    QTextCursor c = m_edit.textCursor();
    c.setPosition(std::clamp(start, 0, n));
    c.setPosition(std::clamp(end, 0, n), QTextCursor::KeepAnchor);
    m_edit.setTextCursor(c);
    m_edit.ensureCursorVisible();
}

void CEditBuffer::ReplaceSel(std::u16string_view text) {
    if (m_edit.isReadOnly())
        return;
    QTextCursor c = m_edit.textCursor();
    c.insertText(FromView(text));
    m_edit.setTextCursor(c);
    m_bStale = true;
}

bool CEditBuffer::Equal(std::u16string_view a, std::u16string_view b, bool matchCase) const {
    return QStringView(a).compare(QStringView(b),
                                  matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

void CEditBuffer::LockUpdates(bool lock) {
    m_edit.setUpdatesEnabled(!lock);
    if (!lock)
        m_edit.ensureCursorVisible();
}
