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
    // Moves the window beside anchor's window, on the side with room on anchor's screen, so
    // that it does not cover the dialog that asked for it; over it only when neither side
    // has room.
    void PlaceBeside(const QWidget* anchor);

private:
    QTextBrowser* m_pBrowser;
};
