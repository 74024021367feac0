#include "ui/frame/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), m_pBrowser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Notarium Help"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    m_pBrowser->setSearchPaths({QStringLiteral(":/help")});
    m_pBrowser->setAccessibleName(QStringLiteral("Help page"));
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
    show(); // laid out first, so that the page can scroll to its section
    const QUrl url(QStringLiteral("qrc:/help/") + topic);
    m_pBrowser->setSource(url);
    if (url.hasFragment())
        QTimer::singleShot(0, m_pBrowser, [browser = m_pBrowser, name = url.fragment()] {
            browser->scrollToAnchor(name);
        });
    raise();
    activateWindow();
}

void CHelpWindow::PlaceBeside(const QWidget* anchor) {
    if (!anchor)
        return;
    const QRect around = anchor->window()->frameGeometry();
    const QScreen* screen = anchor->screen();
    const QRect room = screen ? screen->availableGeometry() : around;
    const QSize size = frameGeometry().size().boundedTo(room.size());
    constexpr int kGap = 8;
    int x = around.right() + 1 + kGap;
    if (x + size.width() > room.right() + 1) {
        x = around.left() - kGap - size.width();
        if (x < room.left())
            x = room.right() + 1 - size.width(); // no room either side
    }
    const int y = std::clamp(around.top(), room.top(), room.bottom() + 1 - size.height());
    move(x, y);
}

QString CHelpWindow::CurrentTopic() const {
    const QUrl url = m_pBrowser->source();
    QString name = url.fileName();
    if (url.hasFragment())
        name += QLatin1Char('#') + url.fragment();
    return name;
}
