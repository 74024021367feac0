#pragma once
// Page Setup: the four margins (from the paper edges, shown in inches with three decimals, so
// stored exactly in thousandths of an inch), the printer and the paper size. Nothing changes
// until Apply, which the caller runs after OK.

#include "app/Records.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QPrinter;

class CPageSetupDlg : public QDialog {
    Q_OBJECT
public:
    CPageSetupDlg(const RECT& marginsThousandths, const QPrinter& printer,
                  QWidget* parent = nullptr);

    // The margins as edited, in thousandths of an inch.
    RECT Margins() const;
    // Copies the dialog's choices into the margins and the printer.
    void Apply(RECT& marginsThousandths, QPrinter& printer) const;

    QDoubleSpinBox* MarginBox(int side) const {
        return m_pMargins[side];
    } // left, top, right, bottom
    QComboBox* PrinterBox() const { return m_pPrinter; }
    QComboBox* PaperBox() const { return m_pPaper; }

private:
    QDoubleSpinBox* m_pMargins[4] = {};
    QComboBox* m_pPrinter = nullptr;
    QComboBox* m_pPaper = nullptr;
};
