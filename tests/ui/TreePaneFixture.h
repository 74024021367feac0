#pragma once
// A real data file in a scratch directory, opened by a document, shown by a tree pane and an
// edit pane, with the item commands and an idle step that runs the pane's deferred work as
// the application's does. Message boxes are answered by the recording UI.

#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "store/DataFormat.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"
#include "ui/common/IdleStep.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/ItemCommands.h"
#include "ui/tree/LabelEditor.h"
#include "ui/tree/TreeModel.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

class PaneTest : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    std::string path = dir.File("test.Nota");
    std::unique_ptr<CEditPaneView> edit;
    std::unique_ptr<CTreePaneView> pane;
    std::unique_ptr<CItemCommands> items;
    std::unique_ptr<CIdleStep> idle;

    void SetUp() override {
        ASSERT_TRUE(CNotariumDoc::PrepareDataFile(path, true, ui));
        ASSERT_TRUE(doc.OnOpenDocument(path));
        Open();
    }

    // (Re)creates the panes over the open file, as the frame does after an open.
    void Open() {
        idle.reset();
        items.reset();
        pane.reset();
        edit.reset();
        edit = std::make_unique<CEditPaneView>(settings, ui);
        pane = std::make_unique<CTreePaneView>(doc, settings, ui);
        pane->SetEditPane(edit.get());
        items = std::make_unique<CItemCommands>(doc, settings, ui, *pane, *edit);
        idle = std::make_unique<CIdleStep>([this] { pane->SyncSelection(); });
        pane->resize(300, 400);
        pane->show();
        pane->OnInitialUpdate();
        QApplication::processEvents();
        idle->Run();
    }

    // Closes and reopens the file, so what reached the disk is what shows.
    void Reopen() {
        ASSERT_TRUE(doc.SaveModified());
        idle.reset();
        items.reset();
        pane.reset();
        doc.DeleteContents();
        ASSERT_TRUE(doc.OnOpenDocument(path));
        Open();
    }

    CTreeCtrl& Tree() { return pane->Tree(); }
    // The pane's in-place title editor (its item delegate).
    CLabelEditor& TitleEditor() { return *qobject_cast<CLabelEditor*>(pane->itemDelegate()); }
    HTREEITEM Root() { return Tree().GetRootItem(); }
    HTREEITEM Add(HTREEITEM parent, const std::string& title, bool folder = false) {
        return doc.InsertNewItem(parent, title, folder);
    }
    // Runs the idle step now (returns whether its guards let it run).
    bool Idle() {
        QApplication::processEvents();
        return idle->Run();
    }
    void Select(HTREEITEM h) {
        pane->setCurrentIndex(pane->Model().IndexOf(h));
        Idle();
    }
    void Type(const QString& text) {
        edit->moveCursor(QTextCursor::End);
        edit->insertPlainText(text);
    }
    std::string Title(HTREEITEM h) { return Tree().GetItemText(h); }
    int Image(HTREEITEM h) {
        int image = 0, selected = 0;
        Tree().GetItemImage(h, image, selected);
        return image;
    }
    std::string StoredText(HTREEITEM h) {
        std::string text;
        doc.ReadText(h, text);
        return text;
    }
    std::vector<std::string> ChildTitles(HTREEITEM parent) {
        std::vector<std::string> titles;
        for (HTREEITEM h = Tree().GetChildItem(parent); h; h = Tree().GetNextSiblingItem(h))
            titles.push_back(Title(h));
        return titles;
    }
};
