#pragma once
// File > Export... and File > Import...: the window's side of exchange::ExportToDirectory,
// ExportToMarkdown and Import. Each has the document store the edit pane's pending text
// first (and goes no further when that fails), asks its
// dialog, runs with the status bar's progress bar (Escape stops; a stopped or failed run
// leaves nothing behind), and ends with a summary: what was written and what was skipped and
// why, in a message box, or in a scrollable list when the list is long. After an import the
// first new item of the target folder is selected.

#include "app/Exchange.h"
#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class CNotariumDoc;
class CTreePaneView;
class IExchangeDialogs;
class IUiServices;

// The progress sink of a run: the status bar's progress bar, and Escape, polled at most every
// kPollInterval (and at the first step), stops the run.
class CWindowProgress final : public exchange::IProgress {
public:
    static constexpr std::chrono::milliseconds kPollInterval{50};
    explicit CWindowProgress(IUiServices& ui) : m_ui(ui) {}
    ~CWindowProgress() override { End(); }
    void Begin(std::uint64_t total) override;
    bool Step(std::uint64_t done) override;
    void End() override;

private:
    static constexpr int kRange = 1000;
    IUiServices& m_ui;
    std::uint64_t m_total = 0;
    int m_pos = -1;
    bool m_bBegun = false;
    bool m_bPolled = false;
    bool m_bStopped = false;
    std::chrono::steady_clock::time_point m_lastPoll;
};

class CExchangeCommands {
public:
    // dialogs: null shows Qt's dialogs (CQtExchangeDialogs).
    CExchangeCommands(CNotariumDoc& doc, IUiServices& ui, CTreePaneView& tree,
                      IExchangeDialogs* dialogs = nullptr);
    ~CExchangeCommands();

    // Registers Import and Export at the frame's level; both need an open file.
    void Register(CCommandRouter& router);
    // Lets a test answer the dialogs (null: Qt's again).
    void SetDialogs(IExchangeDialogs* dialogs);

    void Export();
    void Import();

    // A summary whose skipped list is longer than this shows in the scrollable list.
    static constexpr std::size_t kMaxLinesInBox = 10;
    static constexpr const char* kExportStopped = "The export was stopped. Nothing was written.";
    static constexpr const char* kImportStopped = "The import was stopped. Nothing was imported.";

private:
    CNotariumDoc& m_doc;
    IUiServices& m_ui;
    CTreePaneView& m_tree;
    IExchangeDialogs* m_pDialogs;
    std::unique_ptr<IExchangeDialogs> m_pQtDialogs;

    // The file open and the pending text stored (both read the tree and its texts before their
    // dialog): a failure to store refuses the command before any dialog shows.
    bool CommitPendingText();
    std::string StartDir() const;
    void ShowReport(const exchange::Report& report, const std::string& headline,
                    const char* stopped);
    void SelectFirstNew(HTREEITEM hTarget, const std::vector<HTREEITEM>& before);
};
