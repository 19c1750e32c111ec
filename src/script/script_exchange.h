#pragma once
// One command of a script and what came back, how it is printed, and what it means for the exit
// status. Widget-free: the scripted road never loads the window's libraries.
#include "exchange/exchange_queue.h"

#include <QList>
#include <QString>

// Exit statuses of a script, worst last: the program exits with the worst of its commands.
enum ScriptExit : int {
    kExitReplied = 0,     // every command got a reply that is not "?"
    kExitRefused = 1,     // a reply was "?": the projector refused the command
    kExitTimedOut = 3,    // a reply did not end with its CR in time
    kExitCannotOpen = 4,  // the port could not be opened, or its line was lost
    kExitInterrupted = 5, // the panel's operator sent a command while one of ours was out
};

// A command of the script and what came of it, from the queue or from a panel alike. A reply
// is one character per byte; a line that could not carry the command counts as timed out.
struct ExchangeResult {
    QString command; // as given, without its CR
    ExchangeAnswer answer;
};

// "CR0<TAB> 0 0 CR <TAB>" and the status line's text: the command, the reply as the RXD line
// shows it (the time-out mark when nothing came) and the decoded status when there is one.
QString formatLine(const ExchangeResult& r);
// {"command":"CR0","reply":"00\r","reply_hex":"30300d","status":...,"state":"on",...}
QByteArray formatJson(const ExchangeResult& r);
ScriptExit exitStatusOf(const ExchangeResult& r);
