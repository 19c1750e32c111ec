#pragma once
// What a script and a running panel say to each other over the hand-over socket: one line per
// message, written and read only here. The panel speaks first, with the version line.
//
// Panel:   ZEVA-HANDOVER 2
// Script:  SEND <id> <reply window ms> <command in hex>
//          CANCEL <id>                  (the script gave up waiting)
// Panel:   STARTED <id>                 (the command has been written to the line)
//          REPLY <id> <outcome> <ms> <reply in hex>
//          NOTHELD <id>                 (the panel does not have this device open)
// <outcome> is REPLIED, TIMEDOUT or INTERRUPTED (an operator's press came first).
#include "exchange/exchange_queue.h"

#include <QByteArray>
#include <QString>
#include <optional>

inline constexpr int kHandoverVersion = 2;

enum class WireKind { Send, Cancel, Started, Reply, NotHeld };

struct WireMessage {
    WireKind kind = WireKind::Send;
    quint64 id = 0;
    int replyWindowMs = 0; // Send
    QString command;       // Send, without its CR
    ExchangeAnswer answer; // Reply
};

// A message of its kind that carries only its id (Cancel, Started, NotHeld).
inline WireMessage wireMessage(WireKind kind, quint64 id)
{
    WireMessage m;
    m.kind = kind;
    m.id = id;
    return m;
}

QByteArray versionLine();
// The version a panel's first line names; nullopt when it is not a version line.
std::optional<int> parseVersionLine(const QByteArray& line);

QByteArray encodeWire(const WireMessage& message);
// nullopt for a line that is not a well-formed message.
std::optional<WireMessage> parseWire(const QByteArray& line);
