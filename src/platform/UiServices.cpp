#include "platform/UiServices.h"

#include "platform/Strings.h"

CStatusMessage::CStatusMessage(IUiServices& ui, const std::string& text, bool keep)
    : m_ui(ui), m_bKeep(keep) {
    m_ui.BeginWaitCursor();
    m_ui.SetStatusText(text);
}

CStatusMessage::~CStatusMessage() {
    if (!m_bKeep)
        m_ui.SetStatusText(str::kIdlePrompt);
    m_ui.EndWaitCursor();
}

CStatusProgress::CStatusProgress(IUiServices& ui, const std::string& text, int lower, int upper)
    : CStatusMessage(ui, text, false) {
    m_ui.BeginProgress(lower, upper);
}

CStatusProgress::~CStatusProgress() {
    m_ui.EndProgress();
}
