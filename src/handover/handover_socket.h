#pragma once
// Where a running panel listens for commands handed over by a script: one endpoint per user and
// per device that only the same user may open: a socket in the user's runtime directory on
// Linux, a named pipe with the user's SID in its name on Windows. What the two say is in
// handover_wire.h.
#include <QByteArray>
#include <QString>

// The user's runtime directory (\\.\pipe on Windows): $XDG_RUNTIME_DIR, else /run/user/UID when
// it is ours, else a private folder in the temporary directory. A panel started from the desktop
// and a script started by cron find the same folder.
QString handoverDirectory();
// Creates the private folder when the temporary directory stands in; false when the folder
// exists but belongs to someone else or others may enter it (then no socket is used there).
// Windows keeps pipes in a namespace of their own: nothing to prepare.
bool prepareHandoverDirectory();
QString handoverSocketPath(const QString& device);
// The endpoint of that name for this user (the platform's part of the path above).
QString handoverEndpoint(const QString& stem);
