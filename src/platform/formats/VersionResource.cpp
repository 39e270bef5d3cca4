#include "platform/formats/VersionResource.h"

#include <cwchar>

namespace {

constexpr WORD kHeaderBytes = 3 * sizeof(WORD); // wLength, wValueLength, wType
constexpr WORD kTextValue = 1;                  // wType of a value whose length counts characters
constexpr const wchar_t* kRootKey = L"VS_VERSION_INFO";
constexpr const wchar_t* kStringFileInfo = L"StringFileInfo";
constexpr const wchar_t* kProgramBlocks[] = {L"040704B0", L"040904B0"};
constexpr const wchar_t* kFileVersionValue = L"FileVersion";
constexpr const wchar_t* kMajorMinorFormat = L"%u.%u";

WORD ReadWord(const BYTE* at) {
    return WORD(at[0] | (at[1] << 8));
}

} // namespace

// One node of the version tree: key, value and the children that follow the value.
struct C_VersionResource::Node {
    const wchar_t* key = nullptr;
    const BYTE* value = nullptr;
    DWORD valueBytes = 0;
    WORD type = 0;
    const BYTE* children = nullptr;
    const BYTE* end = nullptr;
};

bool C_VersionResource::Load(HMODULE module) {
    m_data = nullptr;
    m_size = 0;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data && Attach(data, SizeofResource(module, resource));
}

bool C_VersionResource::Attach(const void* data, DWORD size) {
    m_data = static_cast<const BYTE*>(data);
    m_size = data ? size : 0;
    Node root;
    if (!m_data || !ReadNode(m_data, m_data + m_size, root) || wcscmp(root.key, kRootKey) != 0) {
        m_data = nullptr;
        m_size = 0;
        return false;
    }
    return true;
}

// Offsets inside a version block are aligned to 32 bits from the block's start.
const BYTE* C_VersionResource::Align(const BYTE* at) const {
    DWORD offset = DWORD(at - m_data);
    return m_data + ((offset + 3) & ~DWORD(3));
}

bool C_VersionResource::ReadNode(const BYTE* at, const BYTE* limit, Node& node) const {
    if (limit - at < kHeaderBytes)
        return false;
    WORD length = ReadWord(at);
    if (length < kHeaderBytes || length > limit - at)
        return false;
    node.end = at + length;
    node.type = ReadWord(at + 4);
    const wchar_t* key = reinterpret_cast<const wchar_t*>(at + kHeaderBytes);
    const wchar_t* keyEnd = key;
    while (reinterpret_cast<const BYTE*>(keyEnd + 1) <= node.end && *keyEnd)
        ++keyEnd;
    if (reinterpret_cast<const BYTE*>(keyEnd + 1) > node.end)
        return false; // the key has no terminator inside the node
    node.key = key;
    node.value = Align(reinterpret_cast<const BYTE*>(keyEnd + 1));
    WORD valueLength = ReadWord(at + 2);
    node.valueBytes = node.type == kTextValue ? DWORD(valueLength) * sizeof(wchar_t) : valueLength;
    if (node.value > node.end || node.valueBytes > DWORD(node.end - node.value))
        node.valueBytes = node.value > node.end ? 0 : DWORD(node.end - node.value);
    node.children = Align(node.value + node.valueBytes);
    if (node.children > node.end)
        node.children = node.end;
    return true;
}

bool C_VersionResource::FindChild(const Node& parent, const wchar_t* key, Node& child) const {
    for (const BYTE* at = parent.children; at < parent.end;) {
        if (!ReadNode(at, parent.end, child))
            return false;
        if (_wcsicmp(child.key, key) == 0)
            return true;
        at = Align(child.end);
    }
    return false;
}

const VS_FIXEDFILEINFO* C_VersionResource::GetFixedInfo() const {
    Node root;
    if (!m_data || !ReadNode(m_data, m_data + m_size, root) || root.valueBytes < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(root.value);
    return fixed->dwSignature == VS_FFI_SIGNATURE ? fixed : nullptr;
}

const wchar_t* C_VersionResource::GetString(const wchar_t* block, const wchar_t* name) const {
    Node root, strings, table, value;
    if (!m_data || !ReadNode(m_data, m_data + m_size, root) || !FindChild(root, kStringFileInfo, strings) ||
        !FindChild(strings, block, table) || !FindChild(table, name, value) || value.valueBytes < sizeof(wchar_t))
        return nullptr;
    // The text must end inside its node; an unterminated one is not handed out.
    auto* text = reinterpret_cast<const wchar_t*>(value.value);
    for (DWORD i = 0; i < value.valueBytes / sizeof(wchar_t); ++i)
        if (text[i] == 0)
            return text;
    return nullptr;
}

const wchar_t* C_VersionResource::GetProgramString(const wchar_t* name) const {
    for (const wchar_t* block : kProgramBlocks)
        if (const wchar_t* text = GetString(block, name))
            return text;
    return nullptr;
}

bool C_VersionResource::GetMajorMinor(unsigned& major, unsigned& minor) const {
    for (const wchar_t* block : kProgramBlocks) {
        const wchar_t* text = GetString(block, kFileVersionValue);
        if (text && swscanf(text, kMajorMinorFormat, &major, &minor) == 2)
            return true;
    }
    const VS_FIXEDFILEINFO* fixed = GetFixedInfo();
    if (!fixed)
        return false;
    major = HIWORD(fixed->dwProductVersionMS);
    minor = LOWORD(fixed->dwProductVersionMS);
    return true;
}
