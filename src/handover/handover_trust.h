#pragma once
// What the hand-over trusts, the platform's part: a folder for its sockets that only this user
// may enter, and, at the other end of a socket, a process of this user. Another user who could
// write to the folder could plant a socket there, and a script would take its answers for the
// projector's.
#include <QString>
#include <optional>

// Why `folder` may not hold hand-over sockets (missing, not a folder, another user's, open to
// others), as a sentence; nullopt when it is private to this user.
std::optional<QString> handoverFolderProblem(const QString& folder);
// Why the process at the other end of this connected local socket is not to be trusted (it
// runs as another user, or cannot be asked), as a sentence; nullopt when it runs as this user.
std::optional<QString> handoverPeerProblem(qintptr descriptor, const QString& path);
