#include "ui/window/PortButtons.h"

#include "ui/framework/ResourceIds.h"

namespace PortButtons {

const UINT kKindIcons[] = {
    IDI_PORT_GENERIC, IDI_PORT_STM,    IDI_PORT_FTDI,      IDI_PORT_SILABS, IDI_PORT_QINHENG,
    IDI_PORT_NORDIC,  IDI_PORT_NXP,    IDI_PORT_ESPRESSIF, IDI_PORT_ARM,    IDI_PORT_PIPE,
    IDI_PORT_TCP,     IDI_PORT_SEGGER, IDI_PORT_PROLIFIC,  IDI_PORT_UDP,    IDI_PORT_CYPRESS,
};
const int kKindIconCount = int(sizeof kKindIcons / sizeof kKindIcons[0]);

namespace {

constexpr int kGenericImage = 0;
constexpr int kFirstVendorImage = 1;
constexpr uint32_t kLastVendorKind = PORT_KIND_PROLIFIC; // kinds up to here map in order
constexpr int kUdpImage = 13;
constexpr int kCypressImage = 14;

} // namespace

int ImageOfKind(uint32_t kind) {
    if (kind <= kLastVendorKind)
        return kFirstVendorImage + int(kind);
    if (kind == PORT_KIND_UDP)
        return kUdpImage;
    if (kind == PORT_KIND_CYPRESS)
        return kCypressImage;
    return kGenericImage;
}

Look LookOf(const PortState& port) {
    if (port.inTab && port.open)
        return Look::Pressed;
    if (!port.inTab && !port.present)
        return Look::Greyed;
    return Look::Normal;
}

Click ClickOn(const PortState& port) {
    if (!port.inTab)
        return Click::OpenNewTab;
    return port.front && port.open ? Click::Close : Click::BringForward;
}

} // namespace PortButtons
