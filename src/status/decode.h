#pragma once
#include <QString>
#include <QtGlobal>
#include <optional>

// What one decoding pass makes of a reply: a new status line text and a new numeric reading.
struct Decoded {
    std::optional<QString> status;      // nullopt: the status line keeps its text
    std::optional<qint16> readingValue; // nullopt: the last reading stays
};

// Decodes the RXD line's rendering (DisplayForm of everything received so far) as the reply
// to lastCommand (the command string as sent, CR included). Only the seven decoded queries,
// matched exactly and case-sensitively, give a result; everything else keeps both.
Decoded decodeReply(const QString& lastCommand, const QString& rxdCaption);
