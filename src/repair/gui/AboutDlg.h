#pragma once
// The About box of NotaFix.

#include <QDialog>

class CAboutFixDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutFixDlg(QWidget* parent = nullptr);
};
