#include "ui/common/StartOptions.h"

#include "platform/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

bool AnswerStartOptions(int argc, char** argv, const StartOptions& options, int& exitCode) {
    QStringList words;
    bool asked = false;
    for (int i = 0; i < argc; ++i) {
        words << QString::fromLocal8Bit(argv[i]);
        if (i > 0 && argv[i][0] == '-')
            asked = true;
    }
    if (!asked)
        return false;
    // A core application (no display) only while the parser needs the program's name.
    int coreArgc = 1;
    QCoreApplication core(coreArgc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(options.program));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::Text()));
    QCommandLineParser parser;
    parser.setApplicationDescription(options.description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!options.argumentName.isEmpty())
        parser.addPositionalArgument(options.argumentName, options.argumentHelp,
                                     options.argumentName);
    parser.parse(words); // unknown options are Qt's own; QApplication takes them
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        exitCode = 0;
        return true;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", options.program, version::Text());
        exitCode = 0;
        return true;
    }
    return false;
}
