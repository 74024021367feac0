#pragma once
// The printing commands for the window: Print (with the print dialog, which can also print
// to a PDF file, and the selection only when the dialog says so), Print Preview and Page
// Setup. It owns the application's current printer. Nothing here touches the edit pane: the
// caller hands over copies of the text and the selection, so the pane's text, selection and
// changed flag are the same after printing, whatever happened.

#include "ui/print/PageLayout.h"
#include "ui/print/PrintJob.h"

#include <QString>
#include <functional>
#include <memory>

struct CAppSettings;
class IUiServices;
class QPrinter;
class QPrintDialog;
class QWidget;

class CPrintService {
public:
    CPrintService(CAppSettings& settings, IUiServices& ui);
    ~CPrintService();

    QPrinter& Printer() { return *m_pPrinter; }

    // File > Print. selection: the selected text (as QTextCursor::selectedText gives it),
    // empty when nothing is selected (then the dialog offers no selection choice; otherwise
    // it offers it and preselects it).
    PrintResult Print(const PRINTSOURCE& source, const QString& selection, QWidget* parent);
    // File > Print Preview: the same pages in a preview window.
    void PrintPreview(const PRINTSOURCE& source, QWidget* parent);
    // File > Page Setup: margins and printer; true after OK.
    bool PageSetup(QWidget* parent);

    // Prints to a PDF file without any dialog (what "Print to File (PDF)" does).
    PrintResult PrintToPdf(const PRINTSOURCE& source, const QString& path,
                           IPrintProgress* progress = nullptr);

    // Tests replace the modal parts: the print dialog (true = accepted) and the progress sink.
    std::function<bool(QPrintDialog&)> m_runPrintDialog;
    std::function<std::unique_ptr<IPrintProgress>(const QString& name, QWidget* parent)>
        m_makeProgress;

private:
    CAppSettings& m_settings;
    IUiServices& m_ui;
    std::unique_ptr<QPrinter> m_pPrinter;

    PrintResult PrintOn(QPrinter& printer, const PRINTSOURCE& source, IPrintProgress* progress);
};
