#include "ui/text/EditPaneView.h"

#include "app/Settings.h"
#include "store/DataFormat.h"
#include "ui/common/DroppedFiles.h"
#include "ui/common/FontConvert.h"
#include "ui/common/QtText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kDefaultTabWidth = 8;
constexpr int kMaxTabWidth = 1000;

} // namespace

CEditPaneView::CEditPaneView(CAppSettings& settings, IUiServices& ui, QWidget* parent)
    : QPlainTextEdit(parent), m_settings(settings), m_ui(ui) {
    connect(this, &QPlainTextEdit::textChanged, this, &CEditPaneView::OnChange);
    ApplySettings();
    UpdateReadOnly();
}

void CEditPaneView::OnChange() {
    m_bTextChanged = true;
    m_stored.reset();
}

void CEditPaneView::ApplySettings() {
    const QPlainTextEdit::LineWrapMode wrap =
        m_settings.m_bWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
    if (lineWrapMode() != wrap)
        setLineWrapMode(wrap);
    if (m_settings.m_bHasScreenFont) {
        const QFont font = LogFontToQFont(m_settings.m_lfScreenFont, ScreenLogPixelsY());
        if (font != this->font())
            setFont(font);
    }
    int tabWidth = m_settings.m_nTabWidth;
    if (tabWidth <= 0 || tabWidth > kMaxTabWidth)
        tabWidth = kDefaultTabWidth;
    const qreal distance = QFontMetricsF(font()).averageCharWidth() * tabWidth;
    if (!qFuzzyCompare(tabStopDistance(), distance))
        setTabStopDistance(distance);
    UpdateReadOnly();
}

void CEditPaneView::SetImageCode(int image) {
    m_nImage = image;
    UpdateReadOnly();
}

void CEditPaneView::SetFileReadOnly(bool readOnly) {
    m_bFileReadOnly = readOnly;
    UpdateReadOnly();
}

void CEditPaneView::UpdateReadOnly() {
    const bool editable = !m_bFileReadOnly && m_nImage >= 0 &&
                          (nota::IsTextletImage(m_nImage) || m_settings.m_bFoldersHaveText);
    if (isReadOnly() == editable)
        setReadOnly(!editable);
    // A folder's pane that takes no typing must not look like an empty textlet.
    const bool folder =
        m_nImage >= 0 && !nota::IsTextletImage(m_nImage) && !m_settings.m_bFoldersHaveText;
    const QString placeholder = folder ? QString::fromUtf8(kNoFolderText) : QString();
    if (placeholderText() != placeholder)
        setPlaceholderText(placeholder);
    QPalette pal = palette();
    const QColor base = folder ? QGuiApplication::palette().color(QPalette::Window)
                               : QGuiApplication::palette().color(QPalette::Base);
    if (pal.color(QPalette::Base) != base) {
        pal.setColor(QPalette::Base, base);
        setPalette(pal);
    }
}

// ---- dropped files --------------------------------------------------------------------------

// A file is not text for the pane: it is opened as the data file.
void CEditPaneView::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedFile(event->mimeData()).isEmpty())
        QPlainTextEdit::dragEnterEvent(event);
    else
        event->acceptProposedAction();
}

void CEditPaneView::dragMoveEvent(QDragMoveEvent* event) {
    if (DroppedFile(event->mimeData()).isEmpty())
        QPlainTextEdit::dragMoveEvent(event);
    else
        event->acceptProposedAction();
}

void CEditPaneView::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) {
        QPlainTextEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit fileDropped(file);
}

// ---- text -----------------------------------------------------------------------------------

QString CEditPaneView::PaneText() const {
    // toRawText keeps every character (toPlainText would turn no-break spaces into spaces);
    // blocks are separated by U+2029.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

std::string CEditPaneView::GetWindowText() const {
    if (!m_stored)
        m_stored = PaneTextToStored(PaneText());
    return *m_stored;
}

std::size_t CEditPaneView::GetWindowTextLength() const {
    return GetWindowText().size();
}

void CEditPaneView::SetWindowText(const std::string& bytes) {
    setPlainText(StoredTextToPane(bytes));
}

// ---- commands -------------------------------------------------------------------------------

void CEditPaneView::CopyAllText() {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(PaneText());
}

bool CEditPaneView::CanCut() const {
    return !isReadOnly() && textCursor().hasSelection();
}

bool CEditPaneView::CanCopy() const {
    return textCursor().hasSelection();
}

bool CEditPaneView::CanPaste() const {
    return !isReadOnly() && canPaste();
}

bool CEditPaneView::CanUndo() const {
    return !isReadOnly() && document()->isUndoAvailable();
}

void CEditPaneView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit contextMenuRequested(viewport()->mapToGlobal(QPoint(5, 5)));
    else
        emit contextMenuRequested(event->globalPos());
}
