#include "connection/discovery/PortList.h"

#include "connection/discovery/DeviceIdentity.h"
#include "connection/discovery/TargetKind.h"

#include <cwchar>
#include <new>

namespace {

struct VendorMarker {
    const wchar_t* marker;
    PortKind kind;
};

// FTDI's marker has no backslash in front, so it also matches ids of the form FTDIBUS\COMPORT&VID_0403&...
constexpr VendorMarker kVendorMarkers[] = {
    {L"\\VID_0483&", PORT_KIND_STMICRO},      {L"VID_0403&", PORT_KIND_FTDI},
    {L"\\VID_10C4&", PORT_KIND_SILICON_LABS}, {L"\\VID_1A86&", PORT_KIND_QINHENG},
    {L"\\VID_1915&", PORT_KIND_NORDIC},       {L"\\VID_1FC9&", PORT_KIND_NXP},
    {L"\\VID_303A&", PORT_KIND_ESPRESSIF},    {L"\\VID_0D28&", PORT_KIND_ARM},
    {L"\\VID_1366&", PORT_KIND_SEGGER},       {L"\\VID_067B&", PORT_KIND_PROLIFIC},
    {L"\\VID_04B4&", PORT_KIND_CYPRESS},
};

// Hardware ids that begin with these are links, not ports (Bluetooth serial links, modems of sound devices).
constexpr const wchar_t* kExcludedHardwareIdPrefixes[] = {
    L"BTHENUM\\",
    L"{F12D3CF8-B11D-457e-8641-BE2AF2D6D204}\\",
    L"HDAUDIO\\",
};

constexpr const wchar_t* kDisplaySeparator = L" - ";
constexpr wchar_t kDroppedCharacter = 1;
constexpr wchar_t kAmpersandStandIn = 2;
constexpr const wchar_t* kTripledAmpersand = L"&&&";

bool ContainsNoCase(const wchar_t* text, const wchar_t* part) {
    const size_t length = wcslen(text);
    const size_t partLength = wcslen(part);
    for (size_t i = 0; i + partLength <= length; ++i)
        if (EqualsNoCase(text + i, part, uint32_t(partLength)))
            return true;
    return false;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

void RemoveCharacter(C_String& text, wchar_t removed) {
    for (int at = text.FindChar(removed); at >= 0; at = text.FindChar(removed, at))
        text.Delete(at, 1);
}

} // namespace

PortKind KindOfHardwareId(const wchar_t* hardwareId) {
    if (!hardwareId)
        return PORT_KIND_OTHER;
    for (const VendorMarker& vendor : kVendorMarkers)
        if (ContainsNoCase(hardwareId, vendor.marker))
            return vendor.kind;
    return PORT_KIND_OTHER;
}

PortKind KindOfTarget(const wchar_t* target) {
    switch (TargetKindOf(target)) {
    case TargetKind::Pipe:
        return PORT_KIND_PIPE;
    case TargetKind::Tcp:
        return PORT_KIND_TCP;
    case TargetKind::Udp:
        return PORT_KIND_UDP;
    default:
        return PORT_KIND_OTHER;
    }
}

bool IsExcludedPort(const PortInfo& info) {
    for (const wchar_t* prefix : kExcludedHardwareIdPrefixes)
        if (StartsWith(info.hardwareId.c_str(), prefix))
            return true;
    const wchar_t* name = info.name.c_str();
    if (ContainsNoCase(name, L"Dell Wireless") && ContainsNoCase(name, L"Mini-Card"))
        return true;
    return ContainsNoCase(name, L"Intel(R) Active Management Technology");
}

// Characters of code 1 are dropped; an ampersand, and a character of code 2 along with it, becomes three
// ampersands, which is what the main window's tooltip handling expects.
bool DescribePort(const PortInfo& info, const wchar_t* note, C_String& description) {
    description.Empty();
    if (!description.AppendWithSeparator(info.busDescription.c_str(), kDisplaySeparator) ||
        !description.AppendWithSeparator(info.devicePath.c_str(), kDisplaySeparator) ||
        !description.AppendWithSeparator(info.hardwareId.c_str(), kDisplaySeparator) ||
        !description.AppendWithSeparator(note ? note : L"", kDisplaySeparator))
        return false;
    RemoveCharacter(description, kDroppedCharacter);
    description.ReplaceChar(L'&', kAmpersandStandIn);
    const wchar_t standIn[] = {kAmpersandStandIn, 0};
    return description.Replace(standIn, kTripledAmpersand) != nullptr;
}

const C_String& PortKeyOf(const PortInfo& info) {
    return info.identity.IsEmpty() ? info.devicePath : info.identity;
}

PortEntry* NewPortEntry(const PortInfo& info, const wchar_t* tag, const wchar_t* note) {
    PortEntry* entry = new (std::nothrow) PortEntry;
    if (!entry)
        return nullptr;
    if (!entry->name.Assign(info.name) || !entry->target.Assign(info.devicePath) ||
        !entry->identity.Assign(info.identity) || !entry->key.Assign(PortKeyOf(info)) ||
        !entry->tag.Assign(tag ? tag : L"") || !DescribePort(info, note, entry->description)) {
        delete entry;
        return nullptr;
    }
    entry->kind = KindOfHardwareId(info.hardwareId.c_str());
    return entry;
}

PortEntry* NewCommandLineEntry(const wchar_t* target, const wchar_t* tag) {
    PortEntry* entry = new (std::nothrow) PortEntry;
    if (!entry)
        return nullptr;
    if (!entry->name.Assign(target) || !entry->target.Assign(target) || !entry->key.Assign(target) ||
        !entry->description.Assign(target) || !entry->tag.Assign(tag ? tag : L"")) {
        delete entry;
        return nullptr;
    }
    entry->kind = KindOfTarget(target);
    return entry;
}

PortEntry* FindPortByName(C_PortList& list, const wchar_t* name) {
    if (!name)
        return nullptr;
    for (PortEntry* entry = list.First(); entry; entry = list.Next(entry))
        if (wcscmp(entry->name.c_str(), name) == 0)
            return entry;
    return nullptr;
}

PortEntry* FindPortByTarget(C_PortList& list, const wchar_t* target) {
    if (PortEntry* named = FindPortByName(list, target))
        return named;
    for (PortEntry* entry = list.First(); target && entry; entry = list.Next(entry))
        if (entry->target.CompareNoCase(target) == 0)
            return entry;
    return nullptr;
}

ReopenChoice ChooseReopen(C_PortList& list, const wchar_t* name, const wchar_t* identity) {
    ReopenChoice choice;
    if (!identity || !*identity)
        return choice;
    for (PortEntry* entry = list.First(); entry; entry = list.Next(entry))
        if (DeviceIdentity::Same(entry->identity.c_str(), identity)) {
            choice.entry = entry;
            if (entry->name.Compare(name) != 0)
                choice.kind = ReopenChoice::Moved;
            return choice;
        }
    // A named port without an identity may be this board when its identity could not be read this time.
    const PortEntry* named = FindPortByName(list, name);
    if (named && !named->identity.IsEmpty())
        choice.kind = ReopenChoice::Wait;
    return choice;
}

bool ProbePortList(C_PortList& list, C_PortProber& prober) {
    C_WriteLock hold(list);
    const uint32_t generation = list.Generation();
    for (PortEntry* entry = list.First(); entry; entry = list.Next(entry)) {
        C_String target;
        const bool copied = target.Assign(entry->target);
        list.UnlockWrite();
        const bool present = copied && prober.ProbeTarget(target.c_str());
        list.LockWrite();
        if (list.Generation() != generation || prober.ProbeStopping())
            return false;
        entry->present = present ? 1 : 0;
    }
    return true;
}

bool EntryDisplayName(const PortEntry& entry, C_String& out) {
    out.Empty();
    if (!entry.tag.IsEmpty() && !(out.Assign(entry.tag) && out.Append(kDisplaySeparator)))
        return false;
    return out.Append(entry.name);
}

bool PortDisplayName(C_PortList& list, const wchar_t* name, C_String& out) {
    out.Empty();
    C_ReadLock hold(list);
    const PortEntry* entry = FindPortByName(list, name);
    return !entry || EntryDisplayName(*entry, out);
}
