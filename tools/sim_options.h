#pragma once
// The simulator's command line.
#include "sim_projector.h"

#include <QString>
#include <QStringList>

struct SimOptions {
    ReplyStyle style;
    SimTiming timing;
    QString linkPath;
    int floodRate = 0;   // unsolicited random bytes per second; 0 for none
    int hangUpAfter = 0; // close the line after answering this many commands; 0 for never
    quint32 seed = 0;    // for the garbage and the flood
};

inline constexpr int kExitUsage = 2;

// What a command line asks for, decided without printing anything.
struct SimCommandLine {
    SimOptions options;
    int exitCode = -1; // -1: run with `options`; 0: show the help; else show `error`, the help
    QString error;
};

// `arguments` with the program name first, as QCoreApplication::arguments() gives them.
SimCommandLine readSimCommandLine(const QStringList& arguments);
QString simHelpText();

// Returns -1 when the options are good, else the exit code (0 after --help), having printed
// the help to stdout or the error to stderr.
int parseSimOptions(const QStringList& arguments, SimOptions& options);
