#pragma once
// The machine identifier sent with the update query and the problem report: eight bytes that tell machines
// and their Windows versions apart without naming either. Each byte folds one fact of the machine (product id,
// version, volume serial, adapter address, disks) into eight bits, so nothing can be read back out of it.
#include "foundation/base/TextString.h"

#include <cstdint>
#include <string>
#include <vector>

enum MachineIdPurpose : uint8_t {
    PURPOSE_PROBLEM_REPORT = 2,
    PURPOSE_UPDATE_CHECK = 4,
};

// Which system the program runs on, where it is not plain Windows.
enum class HostSystem { Windows, Wine, ReactOs, Sandbox };

// The facts the identifier is made of; GatherMachineFacts reads them from the system.
struct MachineFacts {
    std::wstring productId; // registry value "ProductId"
    unsigned major = 0, minor = 0, build = 0;
    bool armEmulation = false; // x86 code on an ARM machine
    bool packaged = false;     // running as a packaged application
    HostSystem system = HostSystem::Windows;
    uint32_t volumeSerial = 0;           // of the volume holding the Windows folder
    std::vector<uint8_t> adapterAddress; // a network adapter's hardware address; empty when none was found
    std::wstring diskIds;                // the disk identifiers, one after the other
};

struct MachineId {
    static constexpr int kSize = 8;
    uint8_t bytes[kSize];
};

MachineFacts GatherMachineFacts();
MachineId ComposeMachineId(const MachineFacts& facts, uint8_t purpose);
// "%04X-%04X-%04X-%04X": the bytes as four little-endian 16-bit words.
bool FormatMachineId(const MachineId& id, C_String& out);

// The identifier of this machine, formatted.
bool GetMachineId(uint8_t purpose, C_String& out);

// Whether the program runs packaged (GetCurrentPackageFullName exists and finds a package).
bool IsPackagedProcess();
