#include "ui/print/PrintJob.h"

#include "platform/UiServices.h"
#include "ui/print/PageLayout.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

PrintResult RunPrintJob(QPrinter& printer, CPageLayout& layout, IUiServices& ui,
                        IPrintProgress* progress) {
    if (progress && !progress->OnPage(1))
        return PrintResult::Cancelled;
    QPainter painter;
    if (!painter.begin(&printer)) {
        ui.MessageBox(kCouldNotStartPrintJob, MB_OK | MB_ICONEXCLAMATION);
        return PrintResult::Failed;
    }
    layout.Begin(printer);
    bool more = layout.PrintNextPage(painter);
    while (more) {
        if (progress && !progress->OnPage(layout.PagesDone() + 1)) {
            printer.abort();
            painter.end();
            if (printer.outputFormat() == QPrinter::PdfFormat &&
                !printer.outputFileName().isEmpty())
                QFile::remove(printer.outputFileName());
            return PrintResult::Cancelled;
        }
        if (!printer.newPage()) {
            painter.end();
            ui.MessageBox(kCouldNotStartPrintJob, MB_OK | MB_ICONEXCLAMATION);
            return PrintResult::Failed;
        }
        more = layout.PrintNextPage(painter);
    }
    return painter.end() ? PrintResult::Printed : PrintResult::Failed;
}

CPrintProgressDlg::CPrintProgressDlg(const QString& documentName, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Printing"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(documentName, this));
    m_pPage = new QLabel(this);
    layout->addWidget(m_pPage);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPrintProgressDlg::Cancel);
    layout->addWidget(buttons);
}

QString CPrintProgressDlg::PageText() const {
    return m_pPage->text();
}

bool CPrintProgressDlg::OnPage(int page) {
    if (!isVisible())
        show();
    m_pPage->setText(tr("Page %1").arg(page));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_bCancelled;
}
