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

// Returns -1 when the options are good, else the exit code (0 after --help).
int parseSimOptions(const QStringList& arguments, SimOptions& options);
