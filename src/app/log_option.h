#pragma once
// --log FILE: the window and the program before it open the history log the same way.
#include <QString>

class HistoryLog;

// Opens `path` into `log`; false, with the reason on stderr, when it cannot be written (the
// start then stops with the usage exit status).
bool openHistoryLog(HistoryLog& log, const QString& path);
