#pragma once
// Every file below a folder with its bytes, to see that an operation left a folder exactly as it was.
#include "support/FileBytes.h"

#include <windows.h>

#include <map>
#include <string>

using FolderSnapshot = std::map<std::wstring, std::string>; // relative path (a folder ends in '\') -> bytes

inline void AddToSnapshot(const std::wstring& folder, const std::wstring& prefix, FolderSnapshot& out) {
    WIN32_FIND_DATAW found;
    const C_FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[prefix + name + L"\\"] = "";
            AddToSnapshot(folder + L"\\" + name, prefix + name + L"\\", out);
        } else {
            out[prefix + name] = ReadFileBytes(folder + L"\\" + name);
        }
    } while (FindNextFileW(search.Get(), &found));
}

inline FolderSnapshot SnapshotOf(const std::wstring& folder) {
    FolderSnapshot snapshot;
    AddToSnapshot(folder, L"", snapshot);
    return snapshot;
}
