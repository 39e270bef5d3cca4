#pragma once
// Whole-file reads and writes for tests that check what the program wrote, byte for byte. Reading shares
// writing, so a file still held open by the code under test can be read.
#include "platform/system/Handles.h"

#include <windows.h>

#include <string>

inline std::string ReadFileBytes(const std::wstring& path, const std::string& whenMissing = "<missing>") {
    const C_Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file)
        return whenMissing;
    std::string bytes;
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &count, nullptr) && count)
        bytes.append(chunk, count);
    return bytes;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const C_Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

// A file beside the running test program (the helper programs the build puts there).
inline std::wstring BesideTestProgram(const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}
