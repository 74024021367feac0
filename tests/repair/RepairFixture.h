#pragma once
// Shared by the repair tests: runs the engine on files built with CFileBuilder and reads
// the results back byte by byte, without the store's own reader.

#include "repair/RepairEngine.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CRecordingLog : public IRepairLog {
public:
    std::vector<std::string> lines;
    std::vector<std::string> statuses;
    void AppendLine(const std::string& line) override { lines.push_back(line); }
    void OnStatus(const std::string& text) override { statuses.push_back(text); }
};

class CRecordingProgress : public IRepairProgress {
public:
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    void SetRange(int lower, int upper) override { ranges.emplace_back(lower, upper); }
    void SetPos(int pos) override { positions.push_back(pos); }
};

// One item of a data file as stored: depth in the tree, fields, and its text stream.
struct StoredItem {
    int depth = 0;
    int image = 0;
    std::string title;
    DWORD textData = 0;
    DWORD state = 0;
    std::vector<BYTE> text; // the bytes after dwTextLength (text and NUL)
};

// The bytes of the chain at first, following dwNext in the file image.
std::vector<BYTE> ChainBytes(const std::vector<BYTE>& file, DWORD first);
// The item tree of a (sound) data file in pre-order.
std::vector<StoredItem> ReadItems(const std::vector<BYTE>& file);
const StoredItem* FindItem(const std::vector<StoredItem>& items, const std::string& title);
std::string TextOf(const StoredItem& item); // the text without its NUL

class RepairTest : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    CRecordingLog log;
    CRecordingProgress progress;
    bool aborted = false;
    int errors = 0;
    std::string status;

    std::string Source() const { return dir.File("source.Nota"); }
    std::string Target() const { return dir.File("target.Nota"); }

    // Runs a repair of the builder's file into Target().
    void Repair(const CFileBuilder& file) {
        file.WriteTo(Source());
        Run(Source(), Target());
    }
    void Run(const std::string& source, const std::string& target);
    bool Logged(const std::string& line) const;
    int CountLogged(const std::string& line) const;
    std::vector<StoredItem> TargetItems() const { return ReadItems(ReadFileBytes(Target())); }
};

// A small sound database: root "Notarium" with folder "Work" (textlet "Memo") and textlet
// "Alpha", stored in file order root, Work, Memo, Alpha (not sorted).
CFileBuilder SoundFile();
