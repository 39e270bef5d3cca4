#include "maintenance/service/UpdateAddress.h"

#include "foundation/settings/Settings.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kSchemes[] = {L"http://", L"https://"};
constexpr const wchar_t* kLoopbackHosts[] = {L"localhost", L"[::1]"};
constexpr const wchar_t* kLoopbackNet = L"127.";

} // namespace

bool IsLoopbackAddress(const wchar_t* url) {
    if (!url)
        return false;
    const wchar_t* host = nullptr;
    for (const wchar_t* scheme : kSchemes)
        if (_wcsnicmp(url, scheme, wcslen(scheme)) == 0)
            host = url + wcslen(scheme);
    if (!host)
        return false;
    size_t length = wcscspn(host, L"/?#");
    const wchar_t* at = wmemchr(host, L'@', length);
    if (at) // user information is not part of the host, and has no business in an update address
        return false;
    // The port, unless the colon belongs to an IPv6 literal.
    if (host[0] != L'[') {
        const wchar_t* colon = wmemchr(host, L':', length);
        if (colon)
            length = size_t(colon - host);
    } else {
        const wchar_t* close = wmemchr(host, L']', length);
        if (!close)
            return false;
        length = size_t(close - host) + 1;
    }
    for (const wchar_t* name : kLoopbackHosts)
        if (wcslen(name) == length && _wcsnicmp(host, name, length) == 0)
            return true;
    // 127.d.d.d only: a name such as 127.0.0.1.example.com is somebody else's host.
    if (length <= wcslen(kLoopbackNet) || wcsncmp(host, kLoopbackNet, wcslen(kLoopbackNet)) != 0)
        return false;
    int dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (host[i] == L'.')
            ++dots;
        else if (host[i] < L'0' || host[i] > L'9')
            return false;
    }
    return dots == 3;
}

bool ResolveUpdateAddress(HKEY root, const wchar_t* keyPath, C_String& out) {
    C_Settings settings;
    C_String override;
    if (settings.Open(C_Settings::BACKEND_REGISTRY, root, keyPath) &&
        settings.ReadString(kUpdateServerValue, override) && IsLoopbackAddress(override.c_str()))
        return out.Assign(override);
    return out.Assign(kUpdateAddress);
}
