#pragma once
// The command line: which devices stand behind COM1 and COM2, or a listing of the ports there are.
// and the history log. Nothing else is configurable.
#include <QString>
#include <QStringList>

struct Options {
    QString com1;
    QString com2;
    bool help = false;
    bool version = false;
    bool listPorts = false; // print the serial ports the system knows and exit
    QString logPath;        // non-empty: append the exchange history to this file
    QString error;          // non-empty: the command line was not understood
};

QString defaultDevice(int port);
// `args` without the program name.
Options parseOptions(const QStringList& args);
QString usageText();
inline constexpr int kUsageExitCode = 2;
