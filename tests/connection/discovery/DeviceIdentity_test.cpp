// A board's identity from device trees as Windows builds them for the common adapters.
#include "connection/discovery/DeviceIdentity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Device {
    const wchar_t* id;
    const wchar_t* location; // null: none
};

// Nodes by their handle; each node's parent is the next one in the chain, the last has none.
class ChainTree final : public C_DeviceTree {
public:
    explicit ChainTree(std::vector<Device> chain, bool loops = false) : m_chain(std::move(chain)), m_loops(loops) {}

    bool InstanceId(Node node, C_String& id) const override {
        return node < m_chain.size() && id.Assign(m_chain[node].id);
    }
    bool Parent(Node node, Node& parent) const override {
        if (m_loops) {
            parent = node == 0 ? 1 : 0;
            return true;
        }
        parent = node + 1;
        return parent < m_chain.size();
    }
    bool LocationPath(Node node, C_String& path) const override {
        return node < m_chain.size() && m_chain[node].location && path.Assign(m_chain[node].location);
    }

private:
    std::vector<Device> m_chain;
    bool m_loops;
};

constexpr const wchar_t* kHubPort = L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)";
constexpr const wchar_t* kRoot = L"HTREE\\ROOT\\0";

TEST(DeviceIdentity, TheUsbDeviceBehindThePortNamesTheBoardBySerialNumberElseByHubPort) {
    struct Case {
        const char* adapter;
        std::vector<Device> chain; // from the port's device up
        const wchar_t* identity;
    } cases[] = {
        {"FTDI: the port sits below the USB device that has the serial number",
         {{L"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", nullptr},
          {L"USB\\VID_0403&PID_6001\\A50285BI", kHubPort},
          {L"USB\\ROOT_HUB30\\4&1E2F3A4B&0&0", nullptr},
          {kRoot, nullptr}},
         L"USB\\VID_0403&PID_6001\\A50285BI"},
        {"CDC: the port is the USB device itself",
         {{L"USB\\VID_0483&PID_5740\\207D3592", kHubPort}, {kRoot, nullptr}},
         L"USB\\VID_0483&PID_5740\\207D3592"},
        {"a composite board: its interface is skipped",
         {{L"USB\\VID_2E8A&PID_000A&MI_00\\6&3A0B6C5&0&0000", nullptr},
          {L"USB\\VID_2E8A&PID_000A\\E6614C311B4A8B2C", kHubPort}},
         L"USB\\VID_2E8A&PID_000A\\E6614C311B4A8B2C"},
        {"no serial number: known by the hub port it is plugged into",
         {{L"USB\\VID_1A86&PID_7523\\5&2A3B4C5D&0&2", kHubPort}},
         L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
        {"a composite board without a serial number: the device's hub port, not the interface's",
         {{L"USB\\VID_2341&PID_8036&MI_00\\6&1B3D2C&0&0000", L"elsewhere"},
          {L"USB\\VID_2341&PID_8036\\5&1B3D2C&0&3", kHubPort}},
         L"USB\\VID_2341&PID_8036\\@PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
        {"no serial number and no location path (before Vista): no identity",
         {{L"USB\\VID_1A86&PID_7523\\5&2A3B4C5D&0&2", nullptr}},
         L""},
        {"a built-in port", {{L"ACPI\\PNP0501\\0", L"ACPI(_SB_)#ACPI(PCI0)"}, {kRoot, nullptr}}, L""},
        {"a USB hub is no board", {{L"VSPORT\\0", nullptr}, {L"USB\\ROOT_HUB30\\4&1E2F3A4B&0&0", kHubPort}}, L""},
    };
    for (const Case& c : cases) {
        C_String identity;
        ASSERT_TRUE(DeviceIdentity::Read(ChainTree(c.chain), 0, identity)) << c.adapter;
        EXPECT_STREQ(identity.c_str(), c.identity) << c.adapter;
    }
}

TEST(DeviceIdentity, AWalkEndsAtAnUnreadableNodeOrATreeThatLoops) {
    C_String identity;
    identity.Assign(L"stale");
    ASSERT_TRUE(DeviceIdentity::Read(ChainTree({}), 0, identity));
    EXPECT_STREQ(identity.c_str(), L"");
    ASSERT_TRUE(DeviceIdentity::Read(ChainTree({{L"A\\B\\0", nullptr}, {L"C\\D\\1", nullptr}}, true), 0, identity));
    EXPECT_STREQ(identity.c_str(), L"");
    const std::wstring longPlace(190, L'9');
    const std::vector<Device> farAway = {{L"USB\\VID_1A86&PID_7523\\5&2&0&2", longPlace.c_str()}};
    ASSERT_TRUE(DeviceIdentity::Read(ChainTree(farAway), 0, identity));
    EXPECT_STREQ(identity.c_str(), L"") << "longer than a registry key name may be";
}

} // namespace
