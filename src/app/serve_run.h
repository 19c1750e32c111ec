#pragma once
// The server mode: the port held open without a window, serving the hand-over socket (so that
// --send, --query and --power hand their commands to it) and, when asked, PJLink on TCP. Every
// exchange is a row of the history, with its sender, and a line of the log when there is one.
// Needs a QCoreApplication; runs until the application quits.
#include "link/device_address.h"

#include <QString>

struct ServeJob {
    QString com1;
    QString com2;
    int port = 1; // which of COM1 and COM2
    QString settings;
    QString logPath;           // empty: no log
    QString pjlinkAddress;     // "[ADDR:]PORT"; empty: no PJLink
    QByteArray pjlinkPassword; // read before anything was opened; empty: no authentication
    QString name;              // NAME ?; empty: the device's name

    const QString& device() const { return portDevice(port, com1, com2); }
};

// The exit status: 0 once the application quits, 4 when the port cannot be opened, 1 when
// PJLink cannot be served or the log cannot be opened; the reason on stderr.
int runServe(const ServeJob& job);
