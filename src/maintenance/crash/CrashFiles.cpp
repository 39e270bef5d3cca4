#include "maintenance/crash/CrashFiles.h"

namespace {

constexpr const wchar_t* kNoModuleName = L"MiniDump";

// Cuts the extension of the last path element only: a dot in a folder name is not one.
void CutPathExtension(C_String& path) {
    int dot = path.ReverseFindChar(L'.');
    int slash = path.ReverseFindChar(L'\\');
    if (dot > slash)
        path.Left(dot);
}

} // namespace

bool MakeCrashFileBases(const wchar_t* modulePath, const wchar_t* tempFolder, CrashFileBases& out) {
    if (!modulePath || !*modulePath)
        return out.beside.Assign(kNoModuleName) && out.fallback.Assign(tempFolder) &&
               out.fallback.Append(kNoModuleName);
    if (!out.beside.Assign(modulePath))
        return false;
    CutPathExtension(out.beside);
    const wchar_t* name = FileNameOf(modulePath);
    C_String stem;
    if (name == modulePath) {
        if (!stem.Assign(kNoModuleName))
            return false;
    } else {
        if (!stem.Assign(name))
            return false;
        CutPathExtension(stem);
    }
    return out.fallback.Assign(tempFolder) && out.fallback.Append(stem);
}

bool MakeCrashFileBases(CrashFileBases& out) {
    wchar_t module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    bool known = length > 0 && length < MAX_PATH;
    wchar_t temp[MAX_PATH + 1];
    DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    if (tempLength == 0 || tempLength > MAX_PATH)
        temp[0] = 0;
    return MakeCrashFileBases(known ? module : nullptr, temp, out);
}

C_Handle CreateCrashFile(const CrashFileBases& bases, const wchar_t* nameFormat, C_String& path) {
    for (const C_String* base : {&bases.beside, &bases.fallback}) {
        if (!path.Format(nameFormat, base->c_str()))
            continue;
        C_Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return file;
    }
    return C_Handle();
}
