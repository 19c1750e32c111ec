#include "handover/handover_socket.h"

#include <memory>
#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

namespace
{

// The user's SID as text ("S-1-5-21-..."): pipes share one namespace for every user on the
// machine, so each user's endpoints carry who they belong to. Qt gives the pipe an access list
// that admits only this user, so another user can neither open it nor pass for it.
QString userSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    auto buffer = std::make_unique<char[]>(size);
    QString sid;
    wchar_t* text = nullptr;
    if (::GetTokenInformation(token, TokenUser, buffer.get(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

} // namespace

QString handoverDirectory()
{
    return QStringLiteral(R"(\\.\pipe)");
}

bool prepareHandoverDirectory()
{
    return true;
}

QString handoverEndpoint(const QString& stem)
{
    static const QString sid = userSid();
    return handoverDirectory() + u'\\' + stem + u'.' + sid;
}
