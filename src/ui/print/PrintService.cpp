#include "ui/print/PrintService.h"

#include "app/Settings.h"
#include "platform/UiServices.h"
#include "ui/common/FontConvert.h"
#include "ui/print/PageSetupDlg.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>

#include <cmath>

namespace {

int ScreenLogPixelsX() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return std::max(1, static_cast<int>(std::lround(screen->logicalDotsPerInchX())));
    return 96;
}

} // namespace

CPrintService::CPrintService(CAppSettings& settings, IUiServices& ui)
    : m_settings(settings), m_ui(ui),
      m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

CPrintService::~CPrintService() = default;

PrintResult CPrintService::PrintOn(QPrinter& printer, const PRINTSOURCE& source,
                                   IPrintProgress* progress) {
    CPageLayout layout(m_settings, source, ScreenLogPixelsX(), ScreenLogPixelsY());
    return RunPrintJob(printer, layout, m_ui, progress);
}

PrintResult CPrintService::Print(const PRINTSOURCE& source, const QString& selection,
                                 QWidget* parent) {
    // The job's name, and the name the dialog proposes for printing to a file: the data
    // file's ("Recipes.Nota" proposes "Recipes.pdf").
    m_pPrinter->setDocName(QFileInfo(QFile::decodeName(source.docPath.c_str())).fileName());
    QPrintDialog dialog(m_pPrinter.get(), parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, !selection.isEmpty());
    m_pPrinter->setPrintRange(selection.isEmpty() ? QPrinter::AllPages : QPrinter::Selection);
    const bool accepted =
        m_runPrintDialog ? m_runPrintDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return PrintResult::Cancelled;
    PRINTSOURCE what = source;
    if (!selection.isEmpty() && m_pPrinter->printRange() == QPrinter::Selection) {
        // A text cursor's selection separates lines with U+2029.
        what.text = selection;
        what.text.replace(QChar::ParagraphSeparator, u'\n');
    }
    const QString name = QString::fromStdString(source.itemTitle);
    std::unique_ptr<IPrintProgress> progress =
        m_makeProgress ? m_makeProgress(name, parent)
                       : std::make_unique<CPrintProgressDlg>(name, parent);
    return PrintOn(*m_pPrinter, what, progress.get());
}

void CPrintService::PrintPreview(const PRINTSOURCE& source, QWidget* parent) {
    QPrintPreviewDialog preview(m_pPrinter.get(), parent);
    preview.setWindowTitle(QObject::tr("Print Preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [this, &source](QPrinter* printer) { PrintOn(*printer, source, nullptr); });
    preview.exec();
}

bool CPrintService::PageSetup(QWidget* parent) {
    CPageSetupDlg dialog(m_settings.m_rcPageMargins, *m_pPrinter, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.Apply(m_settings.m_rcPageMargins, *m_pPrinter);
    return true;
}

PrintResult CPrintService::PrintToPdf(const PRINTSOURCE& source, const QString& path,
                                      IPrintProgress* progress) {
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    pdf.setPageLayout(m_pPrinter->pageLayout());
    pdf.setFullPage(true);
    pdf.setDocName(QString::fromStdString(source.itemTitle));
    return PrintOn(pdf, source, progress);
}
