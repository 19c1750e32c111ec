#include "handover/handover_trust.h"

#include <memory>
#include <windows.h>

namespace
{

// The user a process runs as, compared by SID.
struct ProcessUser {
    std::unique_ptr<char[]> buffer;
    PSID sid = nullptr;
};

ProcessUser userOf(HANDLE process)
{
    ProcessUser user;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.buffer = std::make_unique<char[]>(size);
    if (::GetTokenInformation(token, TokenUser, user.buffer.get(), size, &size))
        user.sid = reinterpret_cast<TOKEN_USER*>(user.buffer.get())->User.Sid;
    ::CloseHandle(token);
    return user;
}

} // namespace

std::optional<QString> handoverFolderProblem(const QString&)
{
    return std::nullopt; // pipes live in a namespace of their own, not in a folder
}

std::optional<QString> handoverPeerProblem(qintptr descriptor, const QString& path)
{
    // A pipe of the same name made first by another user would answer for the projector.
    ULONG pid = 0;
    if (!::GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(descriptor), &pid))
        return QStringLiteral("cannot tell who serves %1; the hand-over is not used").arg(path);
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    const ProcessUser server = process ? userOf(process) : ProcessUser{};
    if (process) ::CloseHandle(process);
    const ProcessUser self = userOf(::GetCurrentProcess());
    if (server.sid && self.sid && ::EqualSid(server.sid, self.sid)) return std::nullopt;
    return QStringLiteral("%1 is served by a process of another user; the hand-over is not used")
        .arg(path);
}
