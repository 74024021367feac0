#pragma once
// The help window: the program's HTML help pages with contents, back and forward.

#include <QDialog>

class QTextBrowser;

class CHelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);
    // Shows a page of the help ("index.html", "commands.html#find", ...).
    void ShowTopic(const QString& topic);
    QString CurrentTopic() const;

private:
    QTextBrowser* m_pBrowser;
};
