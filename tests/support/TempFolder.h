#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything in it afterwards.
#include "platform/system/Handles.h"

#include <windows.h>

#include <string>

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static unsigned s_sequence = 0;
        wchar_t name[MAX_PATH];
        _snwprintf(name, MAX_PATH, L"%svelto-test-%lu-%u-%u", base, GetCurrentProcessId(), GetTickCount(),
                   ++s_sequence);
        m_path = name;
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(m_path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Root() const { return m_path; }
    std::wstring Path(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        const C_FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (search) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(search.Get(), &found));
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_path;
};
