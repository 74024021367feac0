#pragma once
// A text pane for the document's pending text: counts the document's attempts to store it,
// and each attempt fails (CFileException, disk full) while bFail is set, before anything of
// the file changes.

#include "app/TextPane.h"
#include "platform/FileException.h"

class CFakeTextPane : public CMemoryTextPane {
public:
    std::size_t GetWindowTextLength() const override {
        ++stores;
        if (bFail)
            throw CFileException(CFileException::diskFull, "pane");
        return m_text.size();
    }

    bool bFail = false;
    mutable int stores = 0;
};
