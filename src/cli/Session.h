#pragma once
// One open database for a command: the document, its item tree and the console UI, loaded
// and closed as the window does it.

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "cli/ConsoleUi.h"

class CCliSession {
public:
    explicit CCliSession(std::ostream& err);
    ~CCliSession();

    // Checks and opens the file and loads its tree; false after an error was shown.
    // Commands that only read open with OpenMode::ReadOnly: a shared lock, no write.
    bool Open(const std::string& path,
              CNotariumDoc::OpenMode mode = CNotariumDoc::OpenMode::ReadWrite);
    // Writes the tree and closes the file; false after an error was shown.
    bool Close();
    // True when no error message was shown since the open.
    bool Ok() const { return m_ui.ErrorCount() == 0; }

    CConsoleUi m_ui;
    CAppSettings m_settings;
    CNotariumDoc m_doc;
    CTreeCtrl& m_tree = m_doc.Tree();
};
