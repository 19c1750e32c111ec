#pragma once
// Where a running panel listens for commands handed over by a script: one socket per user and
// per device, in the user's runtime directory. What the two say is in handover_wire.h.
#include <QByteArray>
#include <QString>

// The user's runtime directory: $XDG_RUNTIME_DIR, else /run/user/UID when it is ours, else a
// private folder in the temporary directory. A panel started from the desktop and a script
// started by cron find the same folder.
QString handoverDirectory();
// Creates the private folder when the temporary directory stands in; false when the folder
// exists but belongs to someone else or others may enter it (then no socket is used there).
bool prepareHandoverDirectory();
QString handoverSocketPath(const QString& device);
