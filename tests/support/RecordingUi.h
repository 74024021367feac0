#pragma once
// An IUiServices that records everything shown and answers message boxes from a script.

#include "platform/UiServices.h"

#include <deque>
#include <string>
#include <vector>

class CRecordingUi : public IUiServices {
public:
    struct Box {
        std::string text;
        UINT type;
    };

    // Answers for the next message boxes, in order. Without a scripted answer a box gets
    // IDOK for OK-style boxes and IDYES for Yes/No ones.
    std::deque<int> answers;
    std::vector<Box> boxes;
    std::vector<std::string> statusTexts;
    std::vector<int> progressPositions;
    std::vector<std::pair<int, int>> progressRanges;
    int waitDepth = 0;
    int maxWaitDepth = 0;
    int beeps = 0;
    int progressBegun = 0;
    int progressEnded = 0;
    bool escapePressed = false;

    int MessageBox(const std::string& text, UINT type) override;
    void Beep() override { ++beeps; }
    void BeginWaitCursor() override;
    void EndWaitCursor() override { --waitDepth; }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void BeginProgress(int lower, int upper) override;
    void SetProgressPos(int pos) override { progressPositions.push_back(pos); }
    void EndProgress() override { ++progressEnded; }
    bool PollEscape() override { return escapePressed; }

    std::string LastBox() const { return boxes.empty() ? std::string() : boxes.back().text; }
    std::string LastStatus() const {
        return statusTexts.empty() ? std::string() : statusTexts.back();
    }
};
