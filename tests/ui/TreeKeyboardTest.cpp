// The tree pane as the keyboard moves through it: the selected row stays in sight, and a
// long title can be read by scrolling sideways.

#include "TreePaneFixture.h"

#include <QHeaderView>
#include <QScrollBar>

namespace {

class TreeKeyboardTest : public PaneTest {
protected:
    // Many more items than the pane shows, added as a load does.
    void Fill(int count) {
        CTreeUpdateLock lock(Tree());
        for (int i = 0; i < count; ++i)
            Tree().InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE,
                              "item " + std::to_string(i), 8, 8, 0, 0, 0, Root(), TVI_LAST);
    }
    ::testing::AssertionResult CurrentInView() {
        const QRect rect = pane->visualRect(pane->currentIndex());
        const QRect view = pane->viewport()->rect();
        if (rect.isValid() && rect.top() >= view.top() && rect.bottom() <= view.bottom())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "row " << rect.top() << ".." << rect.bottom() << " outside " << view.top() << ".."
               << view.bottom() << " for " << pane->currentIndex().data().toString().toStdString();
    }
};

} // namespace

TEST_F(TreeKeyboardTest, EveryMovingKeyKeepsTheSelectedRowInsideThePane) {
    Fill(600);
    Tree().Expand(Root(), TVE_EXPAND);
    Select(Root());
    pane->setFocus();
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_End, "End"},       {Qt::Key_Home, "Home"},     {Qt::Key_PageDown, "PgDn"},
        {Qt::Key_PageDown, "PgDn"}, {Qt::Key_Down, "Down"},     {Qt::Key_End, "End"},
        {Qt::Key_PageUp, "PgUp"},   {Qt::Key_Up, "Up"},         {Qt::Key_Home, "Home"},
        {Qt::Key_Down, "Down"},     {Qt::Key_PageDown, "PgDn"}, {Qt::Key_Up, "Up"}};
    for (const auto& [key, name] : keys) {
        QTest::keyClick(pane.get(), key);
        Idle();
        EXPECT_TRUE(CurrentInView()) << "after " << name;
        EXPECT_EQ(CTreeModel::ItemOf(pane->currentIndex()), Tree().GetSelectedItem()) << name;
    }
    // Twenty Downs from the top walk past the first screen and keep up.
    QTest::keyClick(pane.get(), Qt::Key_Home);
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(pane.get(), Qt::Key_Down);
        ASSERT_TRUE(CurrentInView()) << "after Down " << i;
    }
    Idle();
    EXPECT_EQ(Title(Tree().GetSelectedItem()), "item 39");
}

TEST_F(TreeKeyboardTest, ALongTitleIsShownWholeWithAHorizontalScrollBar) {
    HTREEITEM a = Add(Root(), std::string(60, 'A') + "END");
    HTREEITEM b = Add(Root(), std::string(60, 'B') + "END");
    Select(a);
    QApplication::processEvents();
    const QModelIndex index = pane->Model().IndexOf(a);
    const int needed = pane->visualRect(index).left() + pane->sizeHintForIndex(index).width();
    ASSERT_GT(needed, pane->viewport()->width()) << "the title must be wider than the pane";
    EXPECT_GE(pane->header()->sectionSize(0), pane->sizeHintForIndex(index).width());
    EXPECT_GT(pane->horizontalScrollBar()->maximum(), 0);
    // Moving between rows whose titles are in sight keeps the sideways position.
    pane->setFocus();
    pane->horizontalScrollBar()->setValue(pane->horizontalScrollBar()->maximum());
    const int across = pane->horizontalScrollBar()->value();
    QTest::keyClick(pane.get(), Qt::Key_Down);
    EXPECT_EQ(Tree().GetSelectedItem(), b);
    QTest::keyClick(pane.get(), Qt::Key_Up);
    EXPECT_EQ(pane->horizontalScrollBar()->value(), across);
    // The root's short title is out of sight at the far right: Home brings it back.
    QTest::keyClick(pane.get(), Qt::Key_Home);
    EXPECT_TRUE(
        pane->viewport()->rect().contains(pane->visualRect(pane->currentIndex()).topLeft()));
}
