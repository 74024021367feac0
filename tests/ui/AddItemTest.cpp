// The Add Item dialog: folder list, preselection, name trimming and the insertion.

#include "TreePaneFixture.h"

#include "ui/tree/AddItemDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

QStringList Folders(const QTreeWidget* tree) {
    QStringList titles;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        titles << (*it)->text(0);
    return titles;
}

} // namespace

class AddItemTest : public PaneTest {
protected:
    HTREEITEM docs = nullptr;
    HTREEITEM deep = nullptr;
    HTREEITEM note = nullptr;

    void SetUp() override {
        PaneTest::SetUp();
        docs = Add(Root(), "Docs", true);
        deep = Add(docs, "Deep", true);
        note = Add(deep, "Note");
        Add(Root(), "Alpha");
        Tree().Expand(docs, TVE_COLLAPSE);
    }
};

TEST_F(AddItemTest, ListsFoldersOnlyAndPreselectsTheSelectedItemsFolder) {
    Tree().SelectItem(note);
    CAddItemDlg dlg(Tree());
    dlg.SetItemKind(CAddItemDlg::ItemKind::Textlet);
    dlg.show();
    EXPECT_EQ(Folders(dlg.FolderTree()), (QStringList{"Notarium", "Docs", "Deep"}));
    EXPECT_EQ(dlg.SelectedFolder(), deep);
    EXPECT_TRUE(dlg.FolderTree()->currentItem()->parent()->isExpanded()); // made visible
    EXPECT_FALSE(dlg.OkButton()->isEnabled());

    Tree().SelectItem(docs);
    CAddItemDlg second(Tree());
    second.show();
    EXPECT_EQ(second.SelectedFolder(), docs);

    Tree().SelectItem(Root());
    CAddItemDlg third(Tree());
    third.show();
    EXPECT_EQ(third.SelectedFolder(), Root());
}

TEST_F(AddItemTest, BlankNamesKeepOkDisabledAndNamesAreTrimmed) {
    Tree().SelectItem(docs);
    CAddItemDlg dlg(Tree());
    dlg.SetItemKind(CAddItemDlg::ItemKind::Textlet);
    dlg.show();
    QTest::keyClicks(dlg.NameEdit(), "   ");
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    QTest::keyClicks(dlg.NameEdit(), "Docs  ");
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    dlg.OkButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Name(), "Docs");
    EXPECT_EQ(dlg.TargetFolder(), docs);

    HTREEITEM added = items->InsertFromDialog(dlg);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(Tree().GetSelectedItem(), added);
    EXPECT_EQ(Title(added), "Docs");
    EXPECT_EQ(Image(added), nota::IMAGE_TEXTLET);
    EXPECT_FALSE(items->HasText());
}

TEST_F(AddItemTest, TheCommandRunsTheDialogAndInsertsAFolder) {
    Tree().SelectItem(note);
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CAddItemDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->findChildren<QRadioButton*>().at(1)->setChecked(true);
        QTest::keyClicks(dlg->NameEdit(), "  Deep  ");
        dlg->OkButton()->click();
    });
    items->AddItem(nullptr);
    Idle();
    EXPECT_EQ(ChildTitles(deep), (std::vector<std::string>{"Deep", "Note"}));
    HTREEITEM added = Tree().GetSelectedItem();
    EXPECT_EQ(Image(added), nota::IMAGE_FOLDER);
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(added));
    Reopen();
    EXPECT_EQ(Tree().GetCount(), 6u);
}
