#pragma once
// The command line: which devices stand behind COM1 and COM2. Nothing else is configurable.
#include <QString>
#include <QStringList>

struct Options {
    QString com1;
    QString com2;
    bool help = false;
    bool version = false;
    QString error; // non-empty: the command line was not understood
};

QString defaultDevice(int port);
// `args` without the program name.
Options parseOptions(const QStringList& args);
QString usageText();
inline constexpr int kUsageExitCode = 2;
