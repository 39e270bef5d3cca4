#include "connection/discovery/PortList.h"

#include "connection/discovery/TargetKind.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A record as the enumeration would make it.
const PortInfo& MakeInfo(const wchar_t* name, const wchar_t* devicePath, const wchar_t* hardwareId,
                         const wchar_t* busDescription = L"", const wchar_t* identity = L"") {
    static std::vector<std::unique_ptr<PortInfo>> s_made; // kept for the test program's life
    s_made.push_back(std::make_unique<PortInfo>());
    PortInfo& info = *s_made.back();
    info.name.Assign(name);
    info.devicePath.Assign(devicePath);
    info.hardwareId.Assign(hardwareId);
    info.busDescription.Assign(busDescription);
    info.identity.Assign(identity);
    return info;
}

std::wstring Describe(const PortInfo& info, const wchar_t* note = nullptr) {
    C_String description;
    EXPECT_TRUE(DescribePort(info, note, description));
    return description.c_str();
}

TEST(PortKinds, VendorMarkersOfHardwareIdsIgnoreCaseAndNeedTheirBackslash) {
    struct Case {
        const wchar_t* hardwareId;
        PortKind kind;
    } cases[] = {
        {L"FTDIBUS\\COMPORT&VID_0403&PID_6001", PORT_KIND_FTDI}, // FTDI's marker matches after '&' too
        {L"USB\\VID_0483&PID_5740&REV_0200", PORT_KIND_STMICRO},
        {L"usb\\vid_10c4&pid_ea60", PORT_KIND_SILICON_LABS},
        {L"USB\\VID_1A86&PID_7523", PORT_KIND_QINHENG},
        {L"USB\\VID_1915&PID_521F", PORT_KIND_NORDIC},
        {L"USB\\VID_1FC9&PID_0143", PORT_KIND_NXP},
        {L"USB\\VID_303A&PID_1001", PORT_KIND_ESPRESSIF},
        {L"USB\\VID_0D28&PID_0204", PORT_KIND_ARM},
        {L"USB\\VID_1366&PID_0105", PORT_KIND_SEGGER},
        {L"USB\\VID_067B&PID_2303", PORT_KIND_PROLIFIC},
        {L"USB\\VID_04B4&PID_0008", PORT_KIND_CYPRESS},
        {L"USB\\VID_2341&PID_0043", PORT_KIND_OTHER},
        {L"FTDIBUS\\COMPORT&VID_0483&PID_5740", PORT_KIND_OTHER}, // no backslash before this vendor's marker
        {L"USB\\VID_04830&PID_5740", PORT_KIND_OTHER},            // the '&' ends the vendor number
        {L"ACPI\\PNP0501", PORT_KIND_OTHER},
        {L"", PORT_KIND_OTHER},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KindOfHardwareId(c.hardwareId), c.kind) << std::wstring(c.hardwareId).c_str();
}

TEST(PortKinds, TargetPrefixesAreTestedInOrderIgnoringCaseAtTheStartOnly) {
    EXPECT_EQ(TargetKindOf(L"\\\\.\\pipe\\vm-serial"), TargetKind::Pipe);
    EXPECT_EQ(TargetKindOf(L"\\\\.\\PIPE\\vm-serial"), TargetKind::Pipe);
    EXPECT_EQ(TargetKindOf(L"TCP://192.168.0.7:2001"), TargetKind::Tcp);
    EXPECT_EQ(TargetKindOf(L"udp://0.0.0.0:9999"), TargetKind::Udp);
    EXPECT_EQ(TargetKindOf(L"COM5"), TargetKind::Serial);
    EXPECT_EQ(TargetKindOf(L"\\\\.\\COM5"), TargetKind::Serial);
    EXPECT_EQ(TargetKindOf(L" tcp://host"), TargetKind::Serial);
    EXPECT_EQ(TargetKindOf(L"tcp:/host"), TargetKind::Serial);
    EXPECT_EQ(TargetKindOf(nullptr), TargetKind::Serial);

    EXPECT_EQ(KindOfTarget(L"\\\\.\\pipe\\x"), PORT_KIND_PIPE);
    EXPECT_EQ(KindOfTarget(L"Tcp://x"), PORT_KIND_TCP);
    EXPECT_EQ(KindOfTarget(L"udp://0.0.0.0:9999"), PORT_KIND_UDP);
    EXPECT_EQ(KindOfTarget(L"COM3"), PORT_KIND_OTHER);
}

TEST(PortExclusion, LinksAndManagementPortsAreLeftOutByTheirIdsAndNames) {
    EXPECT_TRUE(IsExcludedPort(MakeInfo(L"Standard Serial over Bluetooth link (COM8)", L"\\\\.\\COM8",
                                        L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000")));
    EXPECT_TRUE(IsExcludedPort(MakeInfo(L"Modem", L"\\\\.\\COM9", L"HDAUDIO\\FUNC_02&VEN_14F1")));
    EXPECT_TRUE(IsExcludedPort(
        MakeInfo(L"Modem", L"\\\\.\\COM9", L"{F12D3CF8-B11D-457e-8641-BE2AF2D6D204}\\VID_0A5C&PID_21E1")));
    EXPECT_FALSE(IsExcludedPort(MakeInfo(L"Link", L"\\\\.\\COM8", L"bthenum\\{00001101}")))
        << "the id prefixes are compared with their case";

    EXPECT_TRUE(IsExcludedPort(MakeInfo(L"DELL WIRELESS 5530 HSPA MINI-CARD Modem", L"\\\\.\\COM4", L"USB\\X")));
    EXPECT_FALSE(IsExcludedPort(MakeInfo(L"Dell Wireless 5530 HSPA Modem", L"\\\\.\\COM4", L"USB\\X")))
        << "both parts of the name are needed";
    EXPECT_TRUE(IsExcludedPort(
        MakeInfo(L"intel(r) active management technology - SOL (COM3)", L"\\\\.\\COM3", L"PCI\\VEN_8086&DEV_1C3D")));
    EXPECT_FALSE(IsExcludedPort(MakeInfo(L"USB Serial Port (COM5)", L"\\\\.\\COM5", L"FTDIBUS\\VID_0403&PID_6001")));
}

TEST(PortDescription, PartsAreJoinedWithoutEmptyOnesAndAmpersandsAreTripled) {
    EXPECT_EQ(Describe(MakeInfo(L"USB Serial Device (COM5)", L"\\\\.\\COM5", L"USB\\VID_0483&PID_5740", L"A&B")),
              L"A&&&B - \\\\.\\COM5 - USB\\VID_0483&&&PID_5740");
    EXPECT_EQ(Describe(MakeInfo(L"COM3", L"\\\\.\\COM3", L"\\Device\\Serial0")), L"\\\\.\\COM3 - \\Device\\Serial0");
    EXPECT_EQ(Describe(MakeInfo(L"COM3", L"\\\\.\\COM3", L"")), L"\\\\.\\COM3");
    EXPECT_EQ(Describe(MakeInfo(L"COM9", L"\\\\.\\COM9", L"USB\\X&Y", L"FT232R"), L"was COM5"),
              L"FT232R - \\\\.\\COM9 - USB\\X&&&Y - was COM5")
        << "the note about a board's former port comes last";
    // A character of code 1 is dropped; one of code 2 ends up as the ampersands do.
    EXPECT_EQ(Describe(MakeInfo(L"x", L"\\\\.\\COM3", L"",
                                L"a\x01"
                                L"b\x02"
                                L"c")),
              L"ab&&&c - \\\\.\\COM3");
}

TEST(PortEntries, EnumeratedAndCommandLineEntriesCarryTheirKeysAndKinds) {
    const PortInfo& info = MakeInfo(L"USB Serial Port (COM5)", L"\\\\.\\COM5", L"FTDIBUS\\COMPORT&VID_0403&PID_6001");
    PortEntry* entry = NewPortEntry(info, L"Bench");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name.c_str(), L"USB Serial Port (COM5)");
    EXPECT_STREQ(entry->target.c_str(), L"\\\\.\\COM5") << "the device path is the probe target";
    EXPECT_STREQ(entry->key.c_str(), L"\\\\.\\COM5") << "and, for a port without an identity, the key";
    EXPECT_STREQ(entry->identity.c_str(), L"");
    EXPECT_STREQ(entry->tag.c_str(), L"Bench");
    EXPECT_EQ(entry->present, 1u);
    EXPECT_EQ(entry->kind, PORT_KIND_FTDI);
    delete entry;

    entry =
        NewPortEntry(MakeInfo(L"USB Serial Port (COM9)", L"\\\\.\\COM9", L"", L"", L"USB\\VID_0403&PID_6001\\A5"), L"");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->target.c_str(), L"\\\\.\\COM9");
    EXPECT_STREQ(entry->key.c_str(), L"USB\\VID_0403&PID_6001\\A5") << "a board's values follow its identity";
    delete entry;

    entry = NewCommandLineEntry(L"udp://0.0.0.0:9999", nullptr);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name.c_str(), L"udp://0.0.0.0:9999");
    EXPECT_STREQ(entry->target.c_str(), L"udp://0.0.0.0:9999");
    EXPECT_STREQ(entry->key.c_str(), L"udp://0.0.0.0:9999");
    EXPECT_STREQ(entry->description.c_str(), L"udp://0.0.0.0:9999");
    EXPECT_STREQ(entry->tag.c_str(), L"");
    EXPECT_EQ(entry->kind, PORT_KIND_UDP);
    delete entry;
}

TEST(PortDisplayName, TagThenNameOrTheNameAloneOrNothing) {
    C_PortList list;
    list.Append(NewCommandLineEntry(L"COM3", L"Lab"));
    list.Append(NewCommandLineEntry(L"COM4", L""));
    C_String text;
    ASSERT_TRUE(PortDisplayName(list, L"COM3", text));
    EXPECT_STREQ(text.c_str(), L"Lab - COM3");
    ASSERT_TRUE(PortDisplayName(list, L"COM4", text));
    EXPECT_STREQ(text.c_str(), L"COM4");
    ASSERT_TRUE(PortDisplayName(list, L"com3", text));
    EXPECT_STREQ(text.c_str(), L"") << "names are compared with their case";
    ASSERT_TRUE(PortDisplayName(list, L"tcp://host", text));
    EXPECT_STREQ(text.c_str(), L"");
}

TEST(PortReopen, ABoardIsFoundUnderItsNewNameAndAnotherBoardsPortIsNotTaken) {
    const wchar_t* board = L"USB\\VID_0403&PID_6001\\A50285BI";
    const wchar_t* other = L"USB\\VID_0403&PID_6001\\FT9ZZ";
    struct Listed {
        const wchar_t* name;
        const wchar_t* identity;
    };
    struct Case {
        const char* what;
        std::vector<Listed> list;
        const wchar_t* identity; // of the port that was open, named "P (COM5)"
        ReopenChoice::Kind kind;
        const wchar_t* entry; // the name of the entry chosen; null: none
    } cases[] = {
        {"back under its old name", {{L"P (COM5)", board}}, board, ReopenChoice::AsBefore, L"P (COM5)"},
        {"back under another name",
         {{L"P (COM5)", other}, {L"P (COM9)", board}},
         board,
         ReopenChoice::Moved,
         L"P (COM9)"},
        {"the identity ignores case",
         {{L"P (COM9)", L"usb\\vid_0403&pid_6001\\a50285bi"}},
         board,
         ReopenChoice::Moved,
         L"P (COM9)"},
        {"another board has its old name", {{L"P (COM5)", other}}, board, ReopenChoice::Wait, nullptr},
        {"not back yet", {{L"P (COM7)", other}}, board, ReopenChoice::AsBefore, nullptr},
        {"its old name without an identity", {{L"P (COM5)", L""}}, board, ReopenChoice::AsBefore, nullptr},
        {"a port without an identity goes by its name", {{L"P (COM5)", other}}, L"", ReopenChoice::AsBefore, nullptr},
    };
    for (const Case& c : cases) {
        C_PortList list;
        for (const Listed& listed : c.list)
            list.Append(NewPortEntry(MakeInfo(listed.name, L"\\\\.\\COMx", L"", L"", listed.identity), L""));
        const ReopenChoice choice = ChooseReopen(list, L"P (COM5)", c.identity);
        EXPECT_EQ(choice.kind, c.kind) << c.what;
        EXPECT_STREQ(choice.entry ? choice.entry->name.c_str() : nullptr, c.entry) << c.what;
    }
}

// Answers from a table of targets; can rebuild the list in the middle of a pass, as a refresh would.
class FakeProber : public C_PortProber {
public:
    explicit FakeProber(C_PortList& list) : m_list(list) {}
    std::vector<std::wstring> probed;
    std::vector<std::wstring> available;
    bool rebuildAtFirstProbe = false;

    bool ProbeTarget(const wchar_t* target) override {
        probed.push_back(target);
        if (rebuildAtFirstProbe && probed.size() == 1) {
            C_WriteLock hold(m_list); // the probe must not be holding it now
            m_list.BeginRebuild();
            m_list.Append(NewCommandLineEntry(L"\\\\.\\pipe\\new", nullptr));
        }
        for (const std::wstring& name : available)
            if (name == target)
                return true;
        return false;
    }
    bool ProbeStopping() override { return false; }

private:
    C_PortList& m_list;
};

TEST(PortProbe, EveryEntryIsMarkedByItsProbe) {
    C_PortList list;
    list.Append(NewCommandLineEntry(L"COM3", nullptr));
    list.Append(NewCommandLineEntry(L"COM4", nullptr));
    FakeProber prober(list);
    prober.available = {L"COM4"};

    EXPECT_TRUE(ProbePortList(list, prober));

    EXPECT_EQ(prober.probed, (std::vector<std::wstring>{L"COM3", L"COM4"}));
    EXPECT_EQ(list.First()->present, 0u);
    EXPECT_EQ(list.Next(list.First())->present, 1u);
}

TEST(PortProbe, ARebuildDuringAProbeStopsThePassAndLeavesTheNewListPresent) {
    C_PortList list;
    list.Append(NewCommandLineEntry(L"COM3", nullptr));
    list.Append(NewCommandLineEntry(L"COM4", nullptr));
    FakeProber prober(list);
    prober.rebuildAtFirstProbe = true;

    EXPECT_FALSE(ProbePortList(list, prober));

    EXPECT_EQ(prober.probed, std::vector<std::wstring>{L"COM3"}) << "stopped at its next entry";
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.First()->present, 1u);
}

} // namespace
