#pragma once
// The program's arguments. Parsed before any application object exists, so
// that --help, --version and a wrong argument need no display and touch no
// file.

#include <QString>
#include <QStringList>

struct CommandLine {
    bool run = true; // false: print `out` and `err`, then exit with `exitCode`
    int exitCode = 0;
    QString out;            // for stdout
    QString err;            // for stderr
    bool autostart = false; // started by the session at login
};

// `arguments` as in argv, the program's own name first.
CommandLine parseCommandLine(const QStringList& arguments);

QStringList argumentList(int argc, char** argv);
