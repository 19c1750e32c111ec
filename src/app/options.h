#pragma once
// The command line: which devices stand behind COM1 and COM2, a listing of the ports there are,
// commands to send from a script and how, the server mode and PJLink (in the server or beside
// the window), and the file the exchange history is logged to. The devices the Ports dialog
// kept stand behind COM1 and COM2 where the command line names none.
#include "link/line_settings.h"
#include "ports/port_choice_settings.h"

#include <QString>
#include <QStringList>

// The query buttons' reply window: what a scripted command waits for its reply by default.
inline constexpr int kDefaultReplyTimeoutMs = 2000;
inline constexpr int kMaxReplyTimeoutMs = 600'000;

struct Options {
    QString com1;
    QString com2;
    bool help = false;
    bool version = false;
    bool listPorts = false; // print the serial ports the system knows and exit

    // Scripted use: command texts without their CR, in command-line order. Non-empty: no window.
    QStringList sends;
    int port = 1; // which of COM1 and COM2
    QString settings = settingsForSpeed(kStartSpeed);
    int timeoutMs = kDefaultReplyTimeoutMs;
    bool json = false;

    QString logPath; // non-empty: the window appends its exchange history to this file

    bool serve = false;         // no window: hold the port and serve it to scripts and PJLink
    QString pjlink;             // "[ADDR:]PORT": serve PJLink there (window or server mode)
    QString pjlinkPasswordFile; // PJLink's password, in a file only its owner may read
    QString name;               // what PJLink's NAME ? answers (default: the device's name)

    QString error; // non-empty: the command line was not understood
    // Why the devices the Ports dialog kept could not all be used; said on stderr and in it.
    QString portChoiceNote;
};

QString defaultDevice(int port);
// `args` without the program name. A device the command line leaves open is the one
// `remembered`, else searched for under `devDirectory`.
Options parseOptions(const QStringList& args, const QString& devDirectory = QStringLiteral("/dev"),
                     const PortChoice& remembered = {});
QString usageText();
// What a command line that was not understood prints: the one line that says why, and where
// to look.
QString usageErrorText(const QString& error);
inline constexpr int kUsageExitCode = 2;
