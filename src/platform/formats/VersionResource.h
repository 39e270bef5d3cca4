#pragma once
// Reads a version resource (VS_VERSIONINFO): the fixed file version and the texts of its StringFileInfo
// blocks. It walks the block itself, checking every length against the resource's size, so a damaged resource
// reads as missing values rather than as a crash, and no version library is needed.
#include <windows.h>

class C_VersionResource {
public:
    // The module's own version resource; false when it has none.
    bool Load(HMODULE module);
    // A version block already in memory (it must stay valid while this object reads it).
    bool Attach(const void* data, DWORD size);

    bool IsLoaded() const { return m_data != nullptr; }
    // Null when the resource carries no valid fixed part.
    const VS_FIXEDFILEINFO* GetFixedInfo() const;
    // The text of a value in a language block such as L"040904B0"; null when either is missing. Block and value
    // names compare without regard to case.
    const wchar_t* GetString(const wchar_t* block, const wchar_t* name) const;
    // The text of a value in the program's own language blocks, German (040704B0) before English (040904B0),
    // the order in which the update query reads its version; null when neither has it.
    const wchar_t* GetProgramString(const wchar_t* name) const;
    // "major.minor" as the update check compares versions: the first two numbers of FileVersion in the program's
    // blocks (in the order above), else the fixed product version. False when neither gives them.
    bool GetMajorMinor(unsigned& major, unsigned& minor) const;

private:
    struct Node;
    bool ReadNode(const BYTE* at, const BYTE* limit, Node& node) const;
    const BYTE* Align(const BYTE* at) const;
    bool FindChild(const Node& parent, const wchar_t* key, Node& child) const;

    const BYTE* m_data = nullptr;
    DWORD m_size = 0;
};
