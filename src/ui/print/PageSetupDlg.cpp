#include "ui/print/PageSetupDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr double kMaxMarginInches = 20.0;
const QPageSize::PageSizeId kPapers[] = {QPageSize::Letter, QPageSize::Legal, QPageSize::A4,
                                         QPageSize::A5,     QPageSize::B5,    QPageSize::Executive};

QDoubleSpinBox* MarginSpin(LONG thousandths, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(3);
    box->setRange(0.0, kMaxMarginInches);
    box->setSingleStep(0.125);
    box->setSuffix(QStringLiteral("\""));
    box->setValue(std::clamp(thousandths / 1000.0, 0.0, kMaxMarginInches));
    return box;
}

} // namespace

CPageSetupDlg::CPageSetupDlg(const RECT& margins, const QPrinter& printer, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Page Setup"));
    setProperty("helpTopic", QStringLiteral("settings.html#printing")); // F1 anywhere in it
    auto* layout = new QVBoxLayout(this);

    auto* paperGroup = new QGroupBox(tr("Paper"), this);
    auto* paperForm = new QFormLayout(paperGroup);
    m_pPrinter = new QComboBox(paperGroup);
    const QStringList printers = QPrinterInfo::availablePrinterNames();
    m_pPrinter->addItems(printers);
    if (printers.isEmpty()) {
        m_pPrinter->addItem(tr("(no printer installed)"));
        m_pPrinter->setEnabled(false);
    } else if (const int i = m_pPrinter->findText(printer.printerName()); i >= 0) {
        m_pPrinter->setCurrentIndex(i);
    }
    paperForm->addRow(tr("&Printer:"), m_pPrinter);
    m_pPaper = new QComboBox(paperGroup);
    for (QPageSize::PageSizeId id : kPapers)
        m_pPaper->addItem(QPageSize::name(id), static_cast<int>(id));
    const int paper = m_pPaper->findData(static_cast<int>(printer.pageLayout().pageSize().id()));
    m_pPaper->setCurrentIndex(paper >= 0 ? paper : 0);
    paperForm->addRow(tr("Si&ze:"), m_pPaper);
    layout->addWidget(paperGroup);

    auto* marginGroup = new QGroupBox(tr("Margins (inches)"), this);
    auto* marginForm = new QFormLayout(marginGroup);
    const LONG values[4] = {margins.left, margins.top, margins.right, margins.bottom};
    const char* labels[4] = {"&Left:", "&Top:", "&Right:", "&Bottom:"};
    for (int side = 0; side < 4; ++side) {
        m_pMargins[side] = MarginSpin(values[side], marginGroup);
        marginForm->addRow(tr(labels[side]), m_pMargins[side]);
    }
    layout->addWidget(marginGroup);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

RECT CPageSetupDlg::Margins() const {
    auto at = [this](int side) {
        return static_cast<LONG>(std::lround(m_pMargins[side]->value() * 1000.0));
    };
    return RECT{at(0), at(1), at(2), at(3)};
}

void CPageSetupDlg::Apply(RECT& margins, QPrinter& printer) const {
    margins = Margins();
    if (m_pPrinter->isEnabled() && !m_pPrinter->currentText().isEmpty())
        printer.setPrinterName(m_pPrinter->currentText());
    const auto id = static_cast<QPageSize::PageSizeId>(m_pPaper->currentData().toInt());
    printer.setPageSize(QPageSize(id));
}
