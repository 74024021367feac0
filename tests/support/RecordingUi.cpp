#include "support/RecordingUi.h"

int CRecordingUi::MessageBox(const std::string& text, UINT type) {
    boxes.push_back({text, type});
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    UINT buttons = type & MB_TYPEMASK;
    return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
}

void CRecordingUi::BeginWaitCursor() {
    ++waitDepth;
    if (waitDepth > maxWaitDepth)
        maxWaitDepth = waitDepth;
}

void CRecordingUi::BeginProgress(int lower, int upper) {
    ++progressBegun;
    progressRanges.emplace_back(lower, upper);
}
