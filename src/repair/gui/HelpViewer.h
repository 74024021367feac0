#pragma once
// NotaFix's help: its HTML page shown in a small viewer window.

#include <QDialog>

class QTextBrowser;

class CFixHelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit CFixHelpViewer(QWidget* parent = nullptr);
    void ShowPage(const QString& page);
    QString CurrentPage() const;

private:
    QTextBrowser* m_pBrowser;
};
