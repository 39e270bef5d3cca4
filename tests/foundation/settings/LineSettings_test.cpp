#include "foundation/settings/LineSettings.h"

#include "foundation/settings/Settings.h"

#include "SettingsTestKey.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const wchar_t* kPort = L"\\\\.\\COM5";

SerialLineSettings OptionsLine() {
    SerialLineSettings line{115200, NOPARITY, ONESTOPBIT};
    line.dataBits = 8;
    line.flowControl = FLOW_NONE;
    return line;
}

TEST(PortSettingsSection, EachPortKeyIsOneSubkeyOfPorts) {
    struct Case {
        const wchar_t* key;
        const wchar_t* section; // null: none
    } cases[] = {
        {L"\\\\.\\COM5", L"Ports\\COM5"},
        {L"COM5", L"Ports\\COM5"}, // the same port, however it was named
        {L"\\\\.\\pipe\\vm\\serial", L"Ports\\pipe/vm/serial"},
        {L"tcp://10.0.0.5:23", L"Ports\\tcp://10.0.0.5:23"},
        {L"USB\\VID_0403&PID_6001\\A50285BI", L"Ports\\USB/VID_0403&PID_6001/A50285BI"}, // a board's identity
        {L"\\\\?\\usb#vid_0403", L"Ports\\//?/usb#vid_0403"},
        {L"\\\\.\\", L"Ports\\//./"},
        {L"", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        C_String section;
        EXPECT_EQ(PortSettings::SectionOf(c.key, section), c.section != nullptr) << (c.key ? c.key : L"<null>");
        EXPECT_STREQ(section.c_str(), c.section ? c.section : L"") << (c.key ? c.key : L"<null>");
    }
}

// The program's store, with a key of its own, and an INI file: both remove what ForgetLine removes.
class PortSettingsTest : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override {
        const std::wstring ini = folder.Path(L"velto.ini");
        ASSERT_EQ(store.Open(GetParam(), HKEY_CURRENT_USER, key.Path(), ini.c_str()), 1);
    }

    SettingsTestKey key;
    TempFolder folder;
    C_Settings store;
};

TEST_P(PortSettingsTest, OwnLineValuesComeBackUntilForgottenAndTheModemChoicesStay) {
    SerialLineSettings own{9600, EVENPARITY, TWOSTOPBITS};
    own.dataBits = 7;
    own.flowControl = FLOW_RTS_CTS;
    ASSERT_TRUE(PortSettings::SaveLine(store, kPort, own));
    ASSERT_TRUE(PortSettings::SaveLinesAtOpen(store, kPort, LINE_DTR, 0));
    ASSERT_TRUE(PortSettings::SavePulseLines(store, kPort, kBothModemLines));

    SerialLineSettings line = OptionsLine();
    EXPECT_FALSE(PortSettings::Load(store, L"\\\\.\\COM6", line)) << "another port keeps the Options values";
    EXPECT_EQ(line.linesAtOpen, kBothModemLines) << "and DTR and RTS raised";
    EXPECT_TRUE(PortSettings::Load(store, L"COM5", line)) << "the bare name finds the same port";
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_EQ(line.dataBits, 7);
    EXPECT_EQ(line.parity, EVENPARITY);
    EXPECT_EQ(line.stopBits, TWOSTOPBITS);
    EXPECT_EQ(line.flowControl, FLOW_RTS_CTS);
    EXPECT_EQ(line.linesAtOpen, LINE_RTS) << "only DTR was remembered as dropped";
    EXPECT_EQ(line.pulseLines, kBothModemLines);

    // Back to the Options values; the DTR state and the pulse's lines are the port's still.
    ASSERT_TRUE(PortSettings::ForgetLine(store, kPort));
    line = OptionsLine();
    EXPECT_FALSE(PortSettings::Load(store, kPort, line));
    EXPECT_EQ(line.baudRate, 115200u);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.flowControl, FLOW_NONE);
    EXPECT_EQ(line.linesAtOpen, LINE_RTS);
    EXPECT_EQ(line.pulseLines, kBothModemLines);
    EXPECT_TRUE(PortSettings::ForgetLine(store, kPort)) << "forgetting what is gone is no failure";
    EXPECT_TRUE(PortSettings::ForgetLine(store, L"COM9")) << "nor is a port never stored";
}

INSTANTIATE_TEST_SUITE_P(Stores, PortSettingsTest,
                         ::testing::Values(C_Settings::BACKEND_REGISTRY, C_Settings::BACKEND_INI));

TEST(PortSettingsRegistry, ThePortsValuesLiveInTheirOwnSubkeyUnderTheMainKeysNames) {
    SettingsTestKey key;
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1);
    SerialLineSettings own{57600, ODDPARITY, ONESTOPBIT};
    ASSERT_TRUE(PortSettings::SaveLine(store, kPort, own));
    for (const wchar_t* name : {L"BaudRate", L"DataBits", L"Parity", L"StopBits", L"FlowControl"})
        EXPECT_NE(key.RawTypeAndSize(name, L"Ports\\COM5").first, DWORD(REG_NONE)) << name;
    ASSERT_TRUE(PortSettings::ForgetLine(store, kPort));
    EXPECT_EQ(key.RawTypeAndSize(L"BaudRate", L"Ports\\COM5").first, DWORD(REG_NONE));
}

} // namespace
