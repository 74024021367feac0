#include "repair/gui/NotaFixDlg.h"

#include "platform/Encoding.h"
#include "repair/RepairEngine.h"
#include "repair/gui/AboutDlg.h"
#include "repair/gui/HelpViewer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>

namespace {

// Dialog template sizes, in dialog units.
constexpr int kWindowWidth = 318, kWindowHeight = 174;
constexpr int kMargin = 5, kRepairWidth = 100, kButtonHeight = 15, kHelpWidth = 45;

QString FromBytes(const std::string& bytes) {
    return QString::fromUtf8(enc::DecodeStored(bytes));
}

// Lines into the log as they come, keeping the window painted while the run holds the thread.
class CLogSink : public IRepairLog {
public:
    explicit CLogSink(QPlainTextEdit* log) : m_pLog(log) { m_timer.start(); }
    void AppendLine(const std::string& line) override {
        m_pLog->appendPlainText(FromBytes(line));
        m_pLog->verticalScrollBar()->setValue(m_pLog->verticalScrollBar()->maximum());
        Pump();
    }
    void OnStatus(const std::string&) override { Pump(); }

private:
    QPlainTextEdit* m_pLog;
    QElapsedTimer m_timer;
    void Pump() {
        if (m_timer.elapsed() < 40)
            return;
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_timer.restart();
    }
};

class CProgressSink : public IRepairProgress {
public:
    explicit CProgressSink(QProgressBar* bar) : m_pBar(bar) {}
    void SetRange(int lower, int upper) override {
        // An empty range would show a busy bar; show an empty one instead.
        m_pBar->setRange(lower, upper > lower ? upper : lower + 1);
    }
    void SetPos(int pos) override { m_pBar->setValue(pos); }

private:
    QProgressBar* m_pBar;
};

} // namespace

CNotaFixDlg::CNotaFixDlg(IUiServices& ui, QWidget* parent) : QMainWindow(parent), m_ui(ui) {
    setWindowTitle(tr("Notarium Data File Repair Utility"));
    setWindowIcon(AppIcon());
    m_pClient = new QWidget(this);
    setCentralWidget(m_pClient);
    m_pRepair = new QPushButton(tr("&Repair File..."), m_pClient);
    m_pHelp = new QPushButton(tr("&Help"), m_pClient);
    m_pExit = new QPushButton(tr("E&xit"), m_pClient);
    m_pLog = new QPlainTextEdit(m_pClient);
    m_pLog->setReadOnly(true);
    m_pLog->setAccessibleName(tr("Repair log"));
    m_pLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pProgress = new QProgressBar(m_pClient);
    m_pProgress->setTextVisible(false);
    m_pProgress->setAccessibleName(tr("Repair progress"));
    m_pProgress->setRange(0, 1);
    m_pProgress->setValue(0);
    setTabOrder(m_pRepair, m_pHelp);
    setTabOrder(m_pHelp, m_pExit);
    setTabOrder(m_pExit, m_pLog);

    connect(m_pRepair, &QPushButton::clicked, this, &CNotaFixDlg::OnRepairFile);
    connect(m_pHelp, &QPushButton::clicked, this, &CNotaFixDlg::OnHelp);
    connect(m_pExit, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, &CNotaFixDlg::OnHelp);
    CreateMenu();

    // The metrics that the layout keeps, from the template's places of Repair and Help.
    QFontMetrics fm = fontMetrics();
    QSize margin = DialogUnits(fm, kMargin, kMargin);
    QSize repair = DialogUnits(fm, kRepairWidth, kButtonHeight);
    m_m = margin.width();
    m_wR = repair.width();
    m_h = repair.height();
    m_wH = DialogUnits(fm, kHelpWidth, 0).width();
    m_pClient->setMinimumSize(4 * m_m + 2 * m_wH + m_wR, 6 * m_h);
    resize(DialogUnits(fm, kWindowWidth, kWindowHeight) + QSize(0, menuBar()->sizeHint().height()));
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    LayOut();
}

void CNotaFixDlg::CreateMenu() {
    // Alt+H belongs to the Help button; the menu takes L.
    QMenu* help = menuBar()->addMenu(tr("He&lp"));
    QAction* topics = help->addAction(tr("&Help Topics"));
    connect(topics, &QAction::triggered, this, &CNotaFixDlg::OnHelp);
    help->addSeparator();
    QAction* about = help->addAction(tr("&About NotaFix..."));
    connect(about, &QAction::triggered, this, &CNotaFixDlg::OnAbout);
}

QIcon CNotaFixDlg::AppIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(255, 253, 240));
    p.drawRect(QRectF(5.5, 2.5, 20, 26));
    p.setPen(QPen(QColor(120, 140, 170), 1.5));
    for (int y = 8; y <= 20; y += 4)
        p.drawLine(QPointF(9, y), QPointF(22, y));
    p.setPen(QPen(QColor(200, 40, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 30), QPointF(29, 17));
    p.setBrush(QColor(200, 40, 30));
    p.drawEllipse(QPointF(28, 18), 3, 3);
    return QIcon(pm);
}

QSize CNotaFixDlg::DialogUnits(const QFontMetrics& metrics, int x, int y) {
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    int baseY = metrics.height();
    return QSize((x * baseX + 2) / 4, (y * baseY + 4) / 8);
}

QString CNotaFixDlg::WithNotaExtension(const QString& path) {
    return path.contains(QLatin1Char('.')) ? path : path + QStringLiteral(".Nota");
}

const char* CNotaFixDlg::FileFilter() {
    return "Notarium Files (*.nota);;All Files (*.*)";
}

void CNotaFixDlg::LayOut() {
    int cx = m_pClient->width(), cy = m_pClient->height();
    m_pRepair->setGeometry(m_m, m_m, m_wR, m_h);
    m_pHelp->setGeometry(cx - 2 * (m_wH + m_m), m_m, m_wH, m_h);
    m_pExit->setGeometry(cx - m_m - m_wH, m_m, m_wH, m_h);
    m_pLog->setGeometry(m_m, 2 * m_m + m_h, cx - 2 * m_m, cy - 5 * m_m - m_h);
    m_pProgress->setGeometry(m_m, cy - 2 * m_m, cx - 2 * m_m, m_m);
}

void CNotaFixDlg::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOut();
}

void CNotaFixDlg::closeEvent(QCloseEvent* event) {
    if (m_bRunning)
        event->ignore(); // a run cannot be stopped; it ends by itself
    else
        QMainWindow::closeEvent(event);
}

void CNotaFixDlg::EnableButtons(bool enable) {
    m_pRepair->setEnabled(enable);
    m_pHelp->setEnabled(enable);
    m_pExit->setEnabled(enable);
    menuBar()->setEnabled(enable);
}

void CNotaFixDlg::SetUpFileDialog(QFileDialog& dlg) {
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(QString::fromLatin1(FileFilter()));
    dlg.setFilter(dlg.filter() & ~QDir::CaseSensitive); // *.nota also finds x.Nota
    // "*.*" names every file, also those without a dot, as the filter's text promises.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
        if (!filter.startsWith(QStringLiteral("All Files")))
            return;
        if (auto* model = dlg.findChild<QFileSystemModel*>())
            model->setNameFilters({QStringLiteral("*")});
    });
}

QString CNotaFixDlg::ChooseSource() {
    QFileDialog dlg(this);
    SetUpFileDialog(dlg);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(QStringLiteral("Nota"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString CNotaFixDlg::ChooseTarget() {
    QFileDialog dlg(this);
    SetUpFileDialog(dlg);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

void CNotaFixDlg::OnRepairFile() {
    if (m_bRunning)
        return;
    QString source = ChooseSource();
    if (source.isEmpty())
        return;
    QString target = ChooseTarget();
    if (target.isEmpty())
        return;
    RunRepair(source, WithNotaExtension(target));
}

void CNotaFixDlg::RunRepair(const QString& source, const QString& target) {
    EnableButtons(false);
    m_pLog->clear();
    m_pLog->setFocus();
    repaint();
    m_bRunning = true;
    CLogSink log(m_pLog);
    CProgressSink progress(m_pProgress);
    {
        CRepairEngine engine(m_ui, log, progress);
        try {
            engine.Run(QFile::encodeName(source).toStdString(),
                       QFile::encodeName(target).toStdString());
            m_ui.MessageBox(engine.GetStatusText(), MB_OK | MB_ICONINFORMATION);
        } catch (const CRepairAbort&) {
            // The engine has shown the fatal error.
        } catch (const std::exception& e) {
            m_ui.MessageBox(FormatUnexpectedError(e, engine.GetStatusText()), MB_OK | MB_ICONSTOP);
        }
        m_bRunning = false;
        EnableButtons(true);
    }
}

void CNotaFixDlg::OnHelp() {
    ShowHelp(QStringLiteral("repair.html"));
}

void CNotaFixDlg::ShowHelp(const QString& page) {
    auto* viewer = new CFixHelpViewer(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->ShowPage(page);
    viewer->show();
}

void CNotaFixDlg::OnAbout() {
    CAboutFixDlg about(this);
    about.exec();
}
