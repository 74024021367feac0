// The Notarium program: a personal text database in one data file.
#include "platform/Version.h"
#include "ui/common/StartOptions.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/NotariumApp.h"
#include "ui/frame/ToolIcons.h"
#include "ui/tree/ItemMimeData.h"

#include <QApplication>

int main(int argc, char** argv) {
    int exitCode = 0;
    if (AnswerStartOptions(argc, argv,
                           {"notarium",
                            QStringLiteral("Notarium, a personal text database: short texts in a "
                                           "tree of folders inside one data file (.Nota)."),
                            QStringLiteral("[FILE]"),
                            QStringLiteral("The data file to open (default: the last one).")},
                           exitCode))
        return exitCode;
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrelworks"));
    QCoreApplication::setApplicationName(QStringLiteral("Notarium"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::Text()));
    QGuiApplication::setDesktopFileName(QStringLiteral("notarium"));
    QApplication::setWindowIcon(AppIcon());
    // The frame ends the program itself when it closes, also while help is still open.
    qapp.setQuitOnLastWindowClosed(false);
    // Files of items handed to other instances by processes that were killed.
    RemoveStaleItemsFiles();

    CNotariumApp app;
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    int rc = 0;
    if (app.InitInstance(args, keys) && app.MainFrame())
        rc = qapp.exec();
    app.ExitInstance();
    return rc;
}
