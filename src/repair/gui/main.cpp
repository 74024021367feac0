// NotaFix: repairs a damaged Notarium data file. It takes no command-line arguments and
// keeps no settings.

#include "repair/gui/FixUi.h"
#include "repair/gui/NotaFixDlg.h"
#include "ui/common/StartOptions.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    int exitCode = 0;
    if (AnswerStartOptions(argc, argv,
                           {"notafix",
                            QStringLiteral("NotaFix repairs a damaged Notarium data file into a "
                                           "new one; it asks for both files in its window."),
                            QString(), QString()},
                           exitCode))
        return exitCode;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NotaFix"));
    CFixUi ui;
    CNotaFixDlg window(ui);
    ui.SetOwner(&window);
    window.show();
    return QApplication::exec();
}
