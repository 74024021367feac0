#include "ui/tree/LabelEditor.h"

#include "store/DataFormat.h"
#include "ui/common/CommandIds.h"
#include "ui/tree/TreeModel.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QValidator>

namespace {

constexpr int kTitleChars = 64;

// Lets the editor grow only while the title fits into the file's 64 bytes; shortening an
// over-long title is always allowed.
class CTitleValidator : public QValidator {
public:
    explicit CTitleValidator(QLineEdit* edit) : QValidator(edit) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_nBytes = text.toUtf8().size(); });
    }
    State validate(QString& input, int& /*pos*/) const override {
        const qsizetype bytes = input.toUtf8().size();
        return bytes <= static_cast<qsizetype>(nota::MAX_TITLE) || bytes <= m_nBytes ? Acceptable
                                                                                     : Invalid;
    }

private:
    qsizetype m_nBytes = 0; // the text before the change being validated
};

// The focus went to a menu: the menu bar in keyboard mode, or a menu that pops up. A menu may
// also take the activation from the window for a while (and not every platform gives it back
// at once): an edit does not end when the window merely stops being the active one.
bool FocusWentToMenu(const QFocusEvent* event) {
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::MenuBarFocusReason ||
        QApplication::activePopupWidget())
        return true;
    if (event->reason() == Qt::ActiveWindowFocusReason) {
        QWidget* active = QApplication::activeWindow();
        return !active || qobject_cast<QMenu*>(active);
    }
    QWidget* now = QApplication::focusWidget();
    return qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now);
}

} // namespace

CLabelEditor::CLabelEditor(EndEdit onEndEdit, QObject* parent)
    : QStyledItemDelegate(parent), m_onEndEdit(std::move(onEndEdit)) {}

QWidget* CLabelEditor::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                    const QModelIndex& /*index*/) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("labelEditor"));
    edit->setMaxLength(kTitleChars);
    edit->setValidator(new CTitleValidator(edit));
    m_editor = edit;
    return edit;
}

void CLabelEditor::setEditorData(QWidget* editor, const QModelIndex& index) const {
    static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
}

void CLabelEditor::setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                                const QModelIndex& index) const {
    if (m_onEndEdit)
        m_onEndEdit(CTreeModel::ItemOf(index), static_cast<QLineEdit*>(editor)->text());
}

bool CLabelEditor::eventFilter(QObject* editor, QEvent* event) {
    // The view ends an edit whenever its editor loses the focus; a menu taking it for a while
    // is no reason to, since the menu's Edit commands are meant for the editor.
    if (event->type() == QEvent::FocusOut && FocusWentToMenu(static_cast<QFocusEvent*>(event)))
        return false;
    return QStyledItemDelegate::eventFilter(editor, event);
}

bool CLabelEditor::IsEditing() const {
    return m_editor && m_editor->isVisible();
}

void CLabelEditor::Cut() {
    if (IsEditing())
        m_editor->cut();
}

void CLabelEditor::Copy() {
    if (IsEditing())
        m_editor->copy();
}

void CLabelEditor::Paste() {
    if (IsEditing())
        m_editor->paste();
}

void CLabelEditor::Undo() {
    if (IsEditing())
        m_editor->undo();
}

bool CLabelEditor::HasSelection() const {
    return IsEditing() && m_editor->hasSelectedText();
}

bool CLabelEditor::CanUndo() const {
    return IsEditing() && m_editor->isUndoAvailable();
}

bool CLabelEditor::CanPaste() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return IsEditing() && clipboard && !clipboard->text().isEmpty();
}

void CLabelEditor::Register(CCommandRouter& router,
                            std::function<const CommandHandler*(UINT id)> itemCommand) {
    struct Op {
        UINT id;
        void (CLabelEditor::*run)();
        bool (CLabelEditor::*enabled)() const;
    };
    const Op ops[] = {
        {ID_EDIT_UNDO, &CLabelEditor::Undo, &CLabelEditor::CanUndo},
        {ID_EDIT_CUT, &CLabelEditor::Cut, &CLabelEditor::HasSelection},
        {ID_EDIT_COPY, &CLabelEditor::Copy, &CLabelEditor::HasSelection},
        {ID_EDIT_PASTE, &CLabelEditor::Paste, &CLabelEditor::CanPaste},
    };
    for (const Op& op : ops) {
        router.Set(
            CommandLevel::TreePane, op.id,
            [this, op, itemCommand] {
                if (IsEditing()) {
                    (this->*op.run)();
                    return;
                }
                const CommandHandler* h = itemCommand ? itemCommand(op.id) : nullptr;
                if (h && h->run)
                    h->run();
            },
            [this, op, itemCommand] {
                if (IsEditing())
                    return (this->*op.enabled)();
                const CommandHandler* h = itemCommand ? itemCommand(op.id) : nullptr;
                return h && h->run && (!h->enabled || h->enabled());
            });
    }
}
