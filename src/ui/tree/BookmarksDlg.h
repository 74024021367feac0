#pragma once
// The Bookmarks list: one row per entry (its path of at most 50 characters and its closed
// picture with the ribbon), several rows selectable. Go To (one row selected) chooses the
// focused row's item; Remove (rows selected) marks their entries removed and drops the rows,
// closing the dialog when none is left; Remove All (rows there) marks every entry removed and
// closes. The default button is the first enabled of Go To, Remove, Remove All, else Close.
// The caller applies the removals after the dialog, however it ended.

#include "app/Bookmarks.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QPushButton;

class CBookmarksDlg : public QDialog {
    Q_OBJECT

public:
    CBookmarksDlg(std::vector<bookmarks::BookmarkEntry>& entries, QWidget* parent = nullptr);

    // The item chosen with Go To; null otherwise.
    HTREEITEM Chosen() const { return m_hChosen; }

    QListWidget* List() const { return m_pList; }
    QPushButton* GoToButton() const { return m_pGoTo; }
    QPushButton* RemoveButton() const { return m_pRemove; }
    QPushButton* RemoveAllButton() const { return m_pRemoveAll; }
    QPushButton* CloseButton() const { return m_pClose; }

    void GoTo();
    void Remove();
    void RemoveAll();

private:
    std::vector<bookmarks::BookmarkEntry>& m_entries;
    HTREEITEM m_hChosen = nullptr;
    QListWidget* m_pList = nullptr;
    QPushButton* m_pGoTo = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pRemoveAll = nullptr;
    QPushButton* m_pClose = nullptr;

    void UpdateButtons();
};
