#include "ui/window/PortButtons.h"

#include <cwchar>

namespace PortButtons {

namespace {

constexpr int kFirstVendorImage = 6;
constexpr uint32_t kLastVendorKind = PORT_KIND_PROLIFIC; // kinds up to here map in order
constexpr int kUdpImage = 18;
constexpr int kCypressImage = 19;

bool SameName(const wchar_t* a, const wchar_t* b) {
    return wcscmp(a ? a : L"", b ? b : L"") == 0;
}

} // namespace

int ImageOfKind(uint32_t kind) {
    if (kind <= kLastVendorKind)
        return kFirstVendorImage + int(kind);
    if (kind == PORT_KIND_UDP)
        return kUdpImage;
    if (kind == PORT_KIND_CYPRESS)
        return kCypressImage;
    return kGenericPortImage;
}

Look LookOf(const wchar_t* name, bool present, const wchar_t* currentPort, bool open) {
    const bool current = SameName(name, currentPort);
    if (current && open)
        return Look::Pressed;
    if (!current && !present)
        return Look::Greyed;
    return Look::Normal;
}

Click ClickOn(const wchar_t* name, const wchar_t* currentPort, bool open) {
    return SameName(name, currentPort) && open ? Click::Close : Click::Open;
}

} // namespace PortButtons
