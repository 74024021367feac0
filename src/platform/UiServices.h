#pragma once
// What the logic asks of the user interface: message boxes, the wait cursor, the status
// bar with its progress bar, and error reports. The GUI implements it with Qt; the command
// line with the terminal; tests with a recording fake that answers from a script.

#include "platform/FileException.h"
#include "platform/Types.h"

#include <new>
#include <string>
#include <type_traits>

// Message box styles and answers.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_YESNOCANCEL = 0x03;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_TYPEMASK = 0x0F;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IUiServices {
public:
    virtual ~IUiServices() = default;

    // Shows text with the program's title; returns the button pressed (IDOK, IDYES, ...).
    virtual int MessageBox(const std::string& text, UINT type) = 0;
    virtual void Beep() {}

    // Nested: the cursor stays busy until every Begin has its End.
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}

    // Pane 0 of the status bar. The idle prompt is IDS_IDLE_PROMPT.
    virtual void SetStatusText(const std::string& text) = 0;
    // Tells the user something worth knowing that needs no answer and is no failure (a file
    // brought back to its last whole state, say): the status bar by default; the window
    // shows a message, the command line a line on standard error.
    virtual void ShowNotice(const std::string& text) { SetStatusText(text); }

    // The progress bar in the status bar, beside the current status text.
    virtual void BeginProgress(int lower, int upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    virtual void EndProgress() = 0;

    // Lets a long operation keep the window painted; returns true when the user pressed
    // Escape since the last call.
    virtual bool PollEscape() { return false; }

    // Shows the exception's standard message.
    virtual void ReportError(const CFileException& e) {
        MessageBox(e.GetErrorMessage(), MB_OK | MB_ICONEXCLAMATION);
    }
    // Shows a failure that is not a file exception (lack of memory and the like).
    virtual void ReportError(const std::string& message) {
        MessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    }
};

// What the user is told when memory runs out.
inline constexpr const char* kOutOfMemory = "Out of memory.";

// Runs work and returns its result (true for work that returns nothing). A file error or a
// failed allocation in it is reported through ui (the file error's own message, or
// kOutOfMemory) and gives false. Other exceptions pass on.
template <typename Work> bool ReportingFailures(IUiServices& ui, Work&& work) {
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            return true;
        } else {
            return work();
        }
    } catch (const CFileException& e) {
        ui.ReportError(e);
    } catch (const std::bad_alloc&) {
        ui.ReportError(std::string(kOutOfMemory));
    }
    return false;
}

// Shows nothing and answers every message box affirmatively (OK, or Yes for a question): for
// work without anyone to ask, such as benchmarks and fuzzing.
class CNullUi : public IUiServices {
public:
    int MessageBox(const std::string&, UINT type) override {
        UINT buttons = type & MB_TYPEMASK;
        return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
    }
    void SetStatusText(const std::string&) override {}
    void BeginProgress(int, int) override {}
    void SetProgressPos(int) override {}
    void EndProgress() override {}
};

// The wait cursor for a scope.
class CWaitCursor {
public:
    explicit CWaitCursor(IUiServices& ui) : m_ui(ui) { m_ui.BeginWaitCursor(); }
    ~CWaitCursor() { m_ui.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IUiServices& m_ui;
};

// Shows a status text with the wait cursor for a scope; puts the idle prompt back at the
// end unless asked to keep the text.
class CStatusMessage {
public:
    CStatusMessage(IUiServices& ui, const std::string& text, bool keep = false);
    virtual ~CStatusMessage();
    CStatusMessage(const CStatusMessage&) = delete;
    CStatusMessage& operator=(const CStatusMessage&) = delete;

protected:
    IUiServices& m_ui;
    bool m_bKeep;
};

// A status text with a progress bar beside it.
class CStatusProgress : public CStatusMessage {
public:
    CStatusProgress(IUiServices& ui, const std::string& text, int lower, int upper);
    ~CStatusProgress() override;
    void SetPos(int pos) { m_ui.SetProgressPos(pos); }
};
