#pragma once
// A document on a fresh data file in a scratch directory, with the recording UI.

#include "app/NotariumDoc.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

class DocFixture : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    CTreeCtrl& tree = doc.Tree();
    std::string path = dir.File("test.Nota");

    // Creates and opens a new database and loads its tree.
    void CreateAndOpen() {
        ASSERT_TRUE(CNotariumDoc::PrepareDataFile(path, true, ui));
        ASSERT_TRUE(doc.OnOpenDocument(path));
        ASSERT_TRUE(doc.ReloadTree());
    }
    // As CreateAndOpen, with `count` textlets "Textlet 00000" on under the root, saved.
    void CreateAndOpenWithTextlets(UINT count) {
        CreateAndOpen();
        char title[32];
        for (UINT i = 0; i < count; ++i) {
            std::snprintf(title, sizeof title, "Textlet %05u", i);
            tree.InsertItem(title, nota::IMAGE_TEXTLET, nota::IMAGE_TEXTLET, Root(), TVI_LAST);
        }
        ASSERT_TRUE(doc.SaveTree());
    }
    // Closes and opens the file again into an emptied tree.
    void Reopen() {
        doc.DeleteContents();
        ASSERT_TRUE(doc.OnOpenDocument(path));
        ASSERT_TRUE(doc.ReloadTree());
    }
    HTREEITEM Root() const { return tree.GetRootItem(); }
    HTREEITEM Add(HTREEITEM parent, const std::string& title, bool folder) {
        return doc.InsertNewItem(parent, title, folder);
    }
    // Stores text as the item's text, as committing the edit pane does.
    void SetText(HTREEITEM h, const std::string& text) {
        CMemoryTextPane pane;
        pane.m_text = text;
        doc.SaveText(h, pane);
    }
    std::string GetText(HTREEITEM h) {
        std::string text;
        doc.ReadText(h, text);
        return text;
    }
    DWORD Chain(HTREEITEM h) const { return static_cast<DWORD>(tree.GetItemData(h)); }
    HTREEITEM Child(HTREEITEM parent, const std::string& title) const {
        for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
            if (tree.GetItemText(c) == title)
                return c;
        return nullptr;
    }
    std::vector<std::string> Titles(HTREEITEM parent) const {
        std::vector<std::string> out;
        for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
            out.push_back(tree.GetItemText(c));
        return out;
    }
};
