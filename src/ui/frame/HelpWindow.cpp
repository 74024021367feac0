#include "ui/frame/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), m_pBrowser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Notarium Help"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    m_pBrowser->setSearchPaths({QStringLiteral(":/help")});
    m_pBrowser->setOpenExternalLinks(true);

    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
    connect(contents, &QPushButton::clicked, this, [this] { ShowTopic("index.html"); });
    connect(back, &QPushButton::clicked, m_pBrowser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_pBrowser, &QTextBrowser::forward);
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_pBrowser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pBrowser, 1);
    resize(640, 520);
}

void CHelpWindow::ShowTopic(const QString& topic) {
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc:/help/") + topic));
    show();
    raise();
    activateWindow();
}

QString CHelpWindow::CurrentTopic() const {
    const QUrl url = m_pBrowser->source();
    QString name = url.fileName();
    if (url.hasFragment())
        name += QLatin1Char('#') + url.fragment();
    return name;
}
