#pragma once
// The options every window program of the system answers before it makes a window, so they
// work without a display: --help (-h) and --version (-v). Qt's own options (-platform,
// -style, ...) and unknown ones are left to QApplication.

#include <QString>

struct StartOptions {
    const char* program;  // "notarium"
    QString description;  // the paragraph under the usage line
    QString argumentName; // "[FILE]", or empty when the program takes no argument
    QString argumentHelp; // what the argument is
};

// When the arguments ask for help or the version: prints it on standard output and returns
// true with `exitCode` set (0); the program then ends. Needs no QApplication and makes none
// that outlives the call.
bool AnswerStartOptions(int argc, char** argv, const StartOptions& options, int& exitCode);
