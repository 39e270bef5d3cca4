#include "platform/formats/ProgramImage.h"

#include "platform/formats/VersionResource.h"
#include "platform/system/Handles.h"

#include <cstdint>
#include <cwchar>

namespace {

constexpr DWORD kPeSignature = IMAGE_NT_SIGNATURE; // "PE\0\0"
constexpr WORD kMaximumSections = 96;              // the loader's own bound
constexpr const wchar_t* kVersionFormat = L"%u.%u";

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
    LARGE_INTEGER position;
    position.QuadPart = LONGLONG(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

// The headers as the loader reads them; every section's data must lie inside the file, so a download that was
// cut short fails here even when its headers arrived whole.
ProgramImage CheckHeaders(HANDLE file, uint64_t fileSize) {
    IMAGE_DOS_HEADER dos;
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return ProgramImage::NotAProgram;
    const uint64_t ntOffset = uint64_t(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    if (!ReadAt(file, ntOffset, &signature, sizeof signature) || signature != kPeSignature ||
        !ReadAt(file, ntOffset + sizeof signature, &header, sizeof header))
        return ProgramImage::NotAProgram;
    if (!(header.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) || (header.Characteristics & IMAGE_FILE_DLL))
        return ProgramImage::NotAProgram;
    if (header.Machine != kThisMachine)
        return ProgramImage::OtherMachine;
    IMAGE_OPTIONAL_HEADER32 optional;
    const uint64_t optionalOffset = ntOffset + sizeof signature + sizeof header;
    if (header.SizeOfOptionalHeader < sizeof optional || !ReadAt(file, optionalOffset, &optional, sizeof optional))
        return ProgramImage::NotAProgram;
    if (optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return ProgramImage::OtherMachine;
    if (optional.AddressOfEntryPoint == 0 || header.NumberOfSections == 0 ||
        header.NumberOfSections > kMaximumSections ||
        (optional.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI && optional.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_CUI))
        return ProgramImage::NotAProgram;
    uint64_t sectionOffset = optionalOffset + header.SizeOfOptionalHeader;
    for (WORD i = 0; i < header.NumberOfSections; ++i, sectionOffset += sizeof(IMAGE_SECTION_HEADER)) {
        IMAGE_SECTION_HEADER section;
        if (!ReadAt(file, sectionOffset, &section, sizeof section) ||
            uint64_t(section.PointerToRawData) + section.SizeOfRawData > fileSize)
            return ProgramImage::NotAProgram;
    }
    return ProgramImage::Runnable;
}

// The resource is read from the file mapped as data: nothing of it runs.
bool ReadVersion(const wchar_t* path, unsigned& major, unsigned& minor) {
    const C_Module image(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!image)
        return false;
    HRSRC found = FindResourceW(image.Get(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? LoadResource(image.Get(), found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    C_VersionResource resource;
    return data && resource.Attach(data, SizeofResource(image.Get(), found)) && resource.GetMajorMinor(major, minor);
}

} // namespace

ProgramImage CheckProgramImage(const wchar_t* path, const wchar_t* version) {
    LARGE_INTEGER size{};
    ProgramImage result;
    {
        const C_Handle file(
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !GetFileSizeEx(file.Get(), &size))
            return ProgramImage::Unreadable;
        result = CheckHeaders(file.Get(), uint64_t(size.QuadPart));
    }
    if (result != ProgramImage::Runnable || !version)
        return result;
    unsigned wantedMajor = 0;
    unsigned wantedMinor = 0;
    unsigned major = 0;
    unsigned minor = 0;
    if (swscanf(version, kVersionFormat, &wantedMajor, &wantedMinor) != 2 || !ReadVersion(path, major, minor) ||
        major != wantedMajor || minor != wantedMinor)
        return ProgramImage::OtherVersion;
    return ProgramImage::Runnable;
}
