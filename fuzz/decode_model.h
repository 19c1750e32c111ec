#pragma once
// A second, deliberately plain reading of the query replies, written row by row from the
// decoding tables and formulas and sharing no code with src/status/. The fuzzers hold the
// program's decoder against it: where the two disagree, one of them is wrong.
#include <QString>
#include <QtGlobal>
#include <optional>

struct ModelDecoded {
    std::optional<QString> status; // nullopt: the status line keeps its text
    std::optional<qint16> reading; // nullopt: ReadingValue keeps its value
};

// What the status line and ReadingValue become when the RXD line reads `caption` (a
// DisplayForm rendering) after `lastCommand` (as sent, CR included).
ModelDecoded modelDecode(const QString& lastCommand, const QString& caption);
