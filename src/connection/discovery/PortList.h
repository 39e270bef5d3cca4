#pragma once
// The port list: what stands behind the main window's port buttons. Each refresh rebuilds it from the
// enumerated serial ports (leaving out links that are not terminals), labels every entry with the user's tag,
// classifies USB adapters by vendor for their button images, and adds the target named on the command line.
// A probe then marks each entry as available or not.
#include "connection/threads/LockedList.h"
#include "connection/discovery/PortInfo.h"
#include "foundation/base/TextString.h"

#include <atomic>
#include <cstdint>

// Selects the button image. The values are fixed: the main window maps them to its images.
enum PortKind : uint32_t {
    PORT_KIND_STMICRO = 0,
    PORT_KIND_FTDI = 1,
    PORT_KIND_SILICON_LABS = 2,
    PORT_KIND_QINHENG = 3,
    PORT_KIND_NORDIC = 4,
    PORT_KIND_NXP = 5,
    PORT_KIND_ESPRESSIF = 6,
    PORT_KIND_ARM = 7,
    PORT_KIND_PIPE = 8, // command-line entries only
    PORT_KIND_TCP = 9,
    PORT_KIND_SEGGER = 10,
    PORT_KIND_PROLIFIC = 11,
    PORT_KIND_OTHER = 12,
    PORT_KIND_UDP = 13,
    PORT_KIND_CYPRESS = 14,
};

struct PortEntry : public C_ListEntry {
    C_String name;        // the button text after the tag, the stored selection and the target of OpenTarget
    C_String description; // the button's tooltip; its ampersands are tripled for the tooltip control
    C_String target;      // what is probed: the device path, or the command-line text
    C_String identity;    // the board's identity (DeviceIdentity.h); empty when it has none
    // What its tag, its own line settings, its colour and its rules are stored under: the identity, so they
    // follow a board to any COM number, else the target.
    C_String key;
    C_String tag; // the user's label; empty when none
    // 1 = available (the initial value), 0 = the last probe could not open it. Written by the probe under the
    // list's write lock.
    std::atomic<uint32_t> present{1};
    PortKind kind = PORT_KIND_OTHER;
};

class C_PortList : public C_LockedListOf<PortEntry> {
public:
    // Empties the list for a rebuild; the caller holds the write lock. A probe under way notices by the
    // generation and stops.
    void BeginRebuild() {
        Clear();
        ++m_generation;
    }
    uint32_t Generation() const { return m_generation; }

private:
    uint32_t m_generation = 0; // changed and read under the write lock
};

// What the availability probe asks of its owner.
class C_PortProber {
public:
    // Whether target could be opened right now. Runs without the list's lock.
    virtual bool ProbeTarget(const wchar_t* target) = 0;
    virtual bool ProbeStopping() = 0;

protected:
    ~C_PortProber() = default;
};

// Marks every entry as present or not, from the first, releasing the lock around each probe so neither the main
// window nor a refresh waits for a slow open. Stops when the list was rebuilt meanwhile (its entries are gone)
// or the prober stops; false then.
bool ProbePortList(C_PortList& list, C_PortProber& prober);

// The vendor markers of USB hardware ids, tested ignoring case in a fixed order; none gives PORT_KIND_OTHER.
PortKind KindOfHardwareId(const wchar_t* hardwareId);
// The kind of a command-line target: pipe, TCP or UDP by prefix, otherwise PORT_KIND_OTHER.
PortKind KindOfTarget(const wchar_t* target);

// Bluetooth links, modem functions of sound devices, built-in wireless modems and the management engine's
// console port are serial ports to the system but nothing a terminal user wants offered.
bool IsExcludedPort(const PortInfo& info);

// The tooltip: bus description, device path, hardware id and note (the COM number a board had before, "was
// COM5") joined by " - " (empty parts left out), with every ampersand tripled for the main window's tooltip
// handling.
bool DescribePort(const PortInfo& info, const wchar_t* note, C_String& description);

// What a port's values are stored under: its identity when it has one, else its device path.
const C_String& PortKeyOf(const PortInfo& info);

// New entries; null when out of memory. The caller appends them to the list. note goes into the tooltip.
PortEntry* NewPortEntry(const PortInfo& info, const wchar_t* tag, const wchar_t* note = nullptr);
PortEntry* NewCommandLineEntry(const wchar_t* target, const wchar_t* tag);

// The first entry whose name equals name exactly (case-sensitive); null when none. The caller holds a lock.
PortEntry* FindPortByName(C_PortList& list, const wchar_t* name);
// The first entry an open of target reaches: by its name exactly, as the serial open matches, else by its
// device path ignoring case. Null when none; the caller holds a lock.
PortEntry* FindPortByTarget(C_PortList& list, const wchar_t* target);

// What to open when the port that was open, known by its name and identity (empty when it had none), may have
// come back after a refresh.
struct ReopenChoice {
    enum Kind {
        AsBefore, // the name again: the same board has it, the port had no identity, or nothing is listed yet
        Moved,    // the board is back under another name: entry
        Wait,     // another board has the name now; opening it would talk to the wrong device
    };
    Kind kind = AsBefore;
    const PortEntry* entry = nullptr;
};
// The caller holds a lock while it uses the entry.
ReopenChoice ChooseReopen(C_PortList& list, const wchar_t* name, const wchar_t* identity);

// "tag - name" of an entry, or its name alone when its tag is empty (the text of its button).
bool EntryDisplayName(const PortEntry& entry, C_String& out);
// "tag - name" for the entry named name, or the name alone when its tag is empty; empty when no entry has that
// name. Takes the list's read lock itself.
bool PortDisplayName(C_PortList& list, const wchar_t* name, C_String& out);
