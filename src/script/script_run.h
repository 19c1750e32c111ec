#pragma once
// The scripted road: sends the commands of the command line in order, through a running panel
// when one holds the device, else through the serial layer directly; prints one line per
// command and returns the exit status (see ScriptExit). Needs a QCoreApplication, no window.
#include "link/device_address.h"

#include <QString>
#include <QStringList>

// What a scripted run needs of the command line.
struct ScriptJob {
    QString com1;
    QString com2;
    int port = 1; // which of COM1 and COM2
    QString settings;
    int timeoutMs = 0;
    bool json = false;
    QStringList sends; // command texts without their CR, in order

    const QString& device() const { return portDevice(port, com1, com2); }
};

int runScript(const ScriptJob& job);
