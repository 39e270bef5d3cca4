#include "connection/discovery/TargetKind.h"

#include "foundation/base/TextString.h"

#include <cwchar>

namespace {

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    const size_t length = wcslen(prefix);
    return wcslen(text) >= length && EqualsNoCase(text, prefix, uint32_t(length));
}

} // namespace

TargetKind TargetKindOf(const wchar_t* target) {
    if (!target)
        return TargetKind::Serial;
    if (StartsWithNoCase(target, kPipePrefix))
        return TargetKind::Pipe;
    if (StartsWithNoCase(target, kTcpPrefix))
        return TargetKind::Tcp;
    if (StartsWithNoCase(target, kUdpPrefix))
        return TargetKind::Udp;
    return TargetKind::Serial;
}
