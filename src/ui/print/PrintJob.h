#pragma once
// Running a print job: every page of a layout onto a printer, asking a progress sink between
// pages whether to go on. The progress window (with Cancel) is one such sink.

#include <QDialog>

class CPageLayout;
class IUiServices;
class QLabel;
class QPrinter;

enum class PrintResult { Printed, Cancelled, Failed };

class IPrintProgress {
public:
    virtual ~IPrintProgress() = default;
    // Before page (from 1) is printed; false cancels the job.
    virtual bool OnPage(int page) = 0;
};

// Prints layout on printer. If the printer cannot start, reports "Could not start print job."
// through ui and returns Failed. On cancel the job is aborted (a PDF file being written is
// removed) and Cancelled returned. Nothing of the caller's text is changed in any case.
PrintResult RunPrintJob(QPrinter& printer, CPageLayout& layout, IUiServices& ui,
                        IPrintProgress* progress = nullptr);

inline constexpr const char* kCouldNotStartPrintJob = "Could not start print job.";

// The "Printing" window: the document's name, the page being printed, and Cancel. Between
// pages it lets the event loop run, so the window stays responsive and Cancel is heard.
class CPrintProgressDlg : public QDialog, public IPrintProgress {
    Q_OBJECT
public:
    CPrintProgressDlg(const QString& documentName, QWidget* parent = nullptr);

    bool OnPage(int page) override;
    bool IsCancelled() const { return m_bCancelled; }
    QString PageText() const;
    void Cancel() { m_bCancelled = true; }

protected:
    void reject() override { Cancel(); }

private:
    QLabel* m_pPage = nullptr;
    bool m_bCancelled = false;
};
