#include "repair/gui/HelpViewer.h"

#include <QTextBrowser>
#include <QVBoxLayout>

static void InitFixResources() {
    Q_INIT_RESOURCE(notafix);
}

CFixHelpViewer::CFixHelpViewer(QWidget* parent) : QDialog(parent) {
    InitFixResources();
    setWindowTitle(tr("NotaFix Help"));
    m_pBrowser = new QTextBrowser(this);
    m_pBrowser->setOpenExternalLinks(true);
    m_pBrowser->setAccessibleName(tr("Help page"));
    m_pBrowser->setSearchPaths({QStringLiteral(":/fixhelp")});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pBrowser);
    resize(560, 480);
}

void CFixHelpViewer::ShowPage(const QString& page) {
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc:/fixhelp/") + page));
}

QString CFixHelpViewer::CurrentPage() const {
    return m_pBrowser->source().fileName();
}
