#pragma once
// What the document needs of the edit pane: its whole text as stored bytes (CR LF line
// breaks) and its changed flag. The GUI's edit pane converts to and from what it shows.

#include <cstddef>
#include <string>

class ITextPane {
public:
    virtual ~ITextPane() = default;
    virtual std::size_t GetWindowTextLength() const = 0;
    virtual std::string GetWindowText() const = 0;
    virtual void SetWindowText(const std::string& bytes) = 0;
    virtual bool IsTextChanged() const = 0;
    virtual void SetTextChanged(bool changed) = 0;
};

// A text pane without a window (the command line, tests).
class CMemoryTextPane : public ITextPane {
public:
    std::size_t GetWindowTextLength() const override { return m_text.size(); }
    std::string GetWindowText() const override { return m_text; }
    void SetWindowText(const std::string& bytes) override { m_text = bytes; }
    bool IsTextChanged() const override { return m_bChanged; }
    void SetTextChanged(bool changed) override { m_bChanged = changed; }

    std::string m_text;
    bool m_bChanged = false;
};
