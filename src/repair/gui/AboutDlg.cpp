#include "repair/gui/AboutDlg.h"

#include "repair/gui/NotaFixDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutFixDlg::CAboutFixDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About NotaFix"));
    auto* icon = new QLabel(this);
    icon->setPixmap(CNotaFixDlg::AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(tr("NotaFix Version 1.50"), this));
    lines->addWidget(new QLabel(tr("Notarium Data File Repair Utility"), this));
    lines->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(lines, 1);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    QSize size = CNotaFixDlg::DialogUnits(fontMetrics(), 202, 86);
    setMinimumSize(size);
    resize(size);
}
