// NotaFix: repairs a damaged Notarium data file. It takes no command-line arguments and
// keeps no settings.

#include "platform/Version.h"
#include "repair/gui/FixUi.h"
#include "repair/gui/NotaFixDlg.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (version::PrintIfAsked(argc, argv, "notafix"))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NotaFix"));
    CFixUi ui;
    CNotaFixDlg window(ui);
    ui.SetOwner(&window);
    window.show();
    return QApplication::exec();
}
