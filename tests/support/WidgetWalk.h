#pragma once
// What a screen reader and a keyboard user meet in a window, read through Qt's own
// interfaces: the controls that the accessibility interface offers without a name, and the
// mnemonics (Alt+letter) that more than one control of a window claims. Header only: for the
// widget tests, whose programs link Qt.

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

namespace widgetwalk {

inline bool IsControlRole(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ProgressBar:
    case QAccessible::PageTabList:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

// Describes the unnamed controls under iface (visible ones only) into out.
inline void CollectUnnamed(QAccessibleInterface* iface, std::vector<std::string>& out,
                           int depth = 0) {
    if (!iface || depth > 40 || iface->state().invisible)
        return;
    QWidget* widget = qobject_cast<QWidget*>(iface->object());
    const QAccessible::Role role = iface->role();
    const bool partOfCombo = widget && qobject_cast<QComboBox*>(widget->parentWidget());
    // A status bar's fields are read out too, although they take no focus.
    const bool statusField = widget && qobject_cast<QStatusBar*>(widget->parentWidget());
    const bool control =
        widget && !partOfCombo &&
        (IsControlRole(role) || statusField || (widget->focusPolicy() & Qt::TabFocus));
    // Scroll bars and the size grip are handles, not information.
    if (control && role != QAccessible::ScrollBar && role != QAccessible::Grip &&
        iface->text(QAccessible::Name).trimmed().isEmpty()) {
        out.push_back(std::string(widget->metaObject()->className()) + " '" +
                      widget->objectName().toStdString() + "' role " + std::to_string(role));
    }
    // An item view's children are its rows, named by their data.
    if (role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table)
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        CollectUnnamed(iface->child(i), out, depth + 1);
}

// The visible controls of window that have no accessible name.
inline std::vector<std::string> UnnamedControls(QWidget* window) {
    std::vector<std::string> out;
    CollectUnnamed(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

inline QChar Mnemonic(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// The Alt+letter keys that more than one visible control (buttons, labels' buddies, the menu
// bar's titles) of window claims, each with the texts that claim it.
inline std::map<QChar, std::vector<QString>> SharedMnemonics(QWidget* window) {
    std::map<QChar, std::vector<QString>> claims;
    auto claim = [&](const QString& text) {
        const QChar key = Mnemonic(text);
        if (!key.isNull())
            claims[key].push_back(text);
    };
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(window))
            claim(b->text());
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->isVisibleTo(window) && l->buddy())
            claim(l->text());
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        for (QAction* a : bar->actions())
            if (a->isVisible())
                claim(a->text());
    std::map<QChar, std::vector<QString>> shared;
    for (auto& [key, texts] : claims)
        if (texts.size() > 1)
            shared.emplace(key, texts);
    return shared;
}

} // namespace widgetwalk
