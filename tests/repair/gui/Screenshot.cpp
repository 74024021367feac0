// Shows the NotaFix window after a repair of a damaged sample and takes a picture of it:
// notafix_screenshot OUT.png (under Xvfb).

#include "repair/gui/FixUi.h"
#include "repair/gui/NotaFixDlg.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>

using namespace nota;

namespace {

CFileBuilder DamagedSample() {
    CFileBuilder b;
    DWORD tree = b.AddBlock(0, 0);
    b.SetTreeData(tree);
    DWORD soup = b.AddText("Leek and potato soup\r\n2 leeks, 3 potatoes, stock, cream.");
    DWORD plan = b.AddText("Quarterly plan: " + std::string(900, '.'));
    b.SetNext(plan, 0); // the plan's second block is cut off
    DWORD notes = b.AddText("Meeting notes from Monday");
    b.AddBlock(0, 0);
    std::string lost = "Phone numbers: plumber 555-0142, garage 555-0199";
    b.AddBlock(0, static_cast<WORD>(lost.size()), std::vector<BYTE>(lost.begin(), lost.end()));
    b.PutChain({tree}, CTreeStreamBuilder()
                           .Item(IMAGE_ROOT | IMAGE_OPEN, "Notarium")
                           .Item(IMAGE_FOLDER, "Recipes")
                           .Leaf(IMAGE_TEXTLET, "Soup", soup)
                           .End()
                           .Item(IMAGE_FOLDER, "Work")
                           .Leaf(IMAGE_TEXTLET, "Plan", plan)
                           .Leaf(IMAGE_TEXTLET, "Notes", notes)
                           .Leaf(IMAGE_TEXTLET, "Old", notes)
                           .End()
                           .End(STATE_EXPANDED | STATE_SELECTED)
                           .Finish());
    return b;
}

class CShotDlg : public CNotaFixDlg {
public:
    using CNotaFixDlg::CNotaFixDlg;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QString out = QString::fromLocal8Bit(argv[1]);
    CTempDir dir;
    DamagedSample().WriteTo(dir.File("Notebook.Nota"));
    CFixUi ui;
    CShotDlg dlg(ui);
    ui.SetOwner(&dlg);
    dlg.show();
    int status = 1;
    QTimer::singleShot(500, [&] {
        // Answer the closing message, then take the window as the run left it.
        QTimer::singleShot(1000, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        dlg.RunRepair(QString::fromStdString(dir.File("Notebook.Nota")),
                      QString::fromStdString(dir.File("Notebook repaired.Nota")));
        QTimer::singleShot(500, [&] {
            QRect r = dlg.frameGeometry();
            QString crop =
                QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
            status = QProcess::execute("import", {"-window", "root", "-crop", crop, out});
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
