#pragma once
// The simulator's command line.
#include "sim_projector.h"

#include <QString>
#include <QStringList>

struct SimOptions {
    ReplyStyle style;
    SimTiming timing;
    QString linkPath;
    QString listenHost;     // an address; empty for a pseudo-terminal instead of TCP
    quint16 listenPort = 0; // 0: any free port
    int floodRate = 0;      // unsolicited random bytes per second; 0 for none
    int hangUpAfter = 0;    // close the line after answering this many commands; 0 for never
    quint32 seed = 0;       // for the garbage and the flood
};

inline constexpr int kExitUsage = 2;

// What a command line asks for, decided without printing anything.
struct SimCommandLine {
    SimOptions options;
    int exitCode = -1; // -1: run with `options`; 0: show the help; else show `error`, the help
    QString error;
};

// "[ADDR:]PORT", ADDR an IPv4 or IPv6 address (the latter in brackets), 127.0.0.1 when left
// out. Returns an error text, empty when all is well.
QString readListenAddress(const QString& text, SimOptions& options);

// `arguments` with the program name first, as QCoreApplication::arguments() gives them.
SimCommandLine readSimCommandLine(const QStringList& arguments);
QString simHelpText();

// Returns -1 when the options are good, else the exit code (0 after --help), having printed
// the help to stdout or the error to stderr.
int parseSimOptions(const QStringList& arguments, SimOptions& options);
