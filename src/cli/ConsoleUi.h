#pragma once
// The command line's user interface: messages go to standard error, questions are answered
// with the affirmative button (scripts run without anyone to ask), the status bar is silent.

#include "platform/UiServices.h"

#include <iosfwd>

class CConsoleUi : public IUiServices {
public:
    explicit CConsoleUi(std::ostream& err) : m_err(err) {}

    int MessageBox(const std::string& text, UINT type) override;
    void SetStatusText(const std::string&) override {}
    // A notice is a line on standard error, not counted as an error.
    void ShowNotice(const std::string& text) override;
    void BeginProgress(int, int) override {}
    void SetProgressPos(int) override {}
    void EndProgress() override {}

    // Messages shown as errors or warnings so far.
    int ErrorCount() const { return m_nErrors; }

private:
    std::ostream& m_err;
    int m_nErrors = 0;
};
