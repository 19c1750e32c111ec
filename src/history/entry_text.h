#pragma once
// How an entry reads, shared by the History window and the log: line characters in the monitor's
// rendering or in hex, messages as they are.
#include "history/history.h"

// The monitor's rendering for line characters; the text itself for a message.
QString entryRendering(const ExchangeHistory& history, const HistoryEntry& e);
// Bytes as two hex digits each, separated by blanks: "43 52 30 0D".
QString hexBytes(QByteArrayView bytes);
// Local time to the millisecond with its offset from UTC: "2026-12-07T15:04:05.123+01:00".
QString isoTime(qint64 msSinceEpoch);
// The time since the previous entry: "+0.250 s", from a minute on "+3 min 11 s", from an hour
// on "+26 h 05 min".
QString deltaText(qint64 deltaMs);
// One CSV record (RFC 4180) without its line end: every cell quoted, so that the monitor's
// leading blanks survive a spreadsheet.
QString csvRecord(const QStringList& cells);
