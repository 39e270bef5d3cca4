#include "platform/formats/ZipArchive.h"

#include "platform/system/Handles.h"
#include "platform/formats/SafePath.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kCentralSize = 46;
constexpr uint32_t kLocalSize = 30;
constexpr uint32_t kMaxComment = 0xFFFF;
constexpr uint16_t kZip64Marker16 = 0xFFFF;
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr UINT kOemUnitedStates = 437; // names without the UTF-8 flag are in the original PC code page
constexpr DWORD kOutputPiece = 0x10000;
constexpr int kRawDeflate = -MAX_WBITS;

uint16_t Read16(const BYTE* at) {
    return uint16_t(at[0] | at[1] << 8);
}
uint32_t Read32(const BYTE* at) {
    return uint32_t(at[0] | at[1] << 8 | at[2] << 16) | uint32_t(at[3]) << 24;
}

struct Entry {
    std::wstring name; // with '\' separators; a folder's ends in '\'
    uint16_t method;
    uint32_t crc;
    uint32_t packedSize;
    uint32_t size;
    uint32_t localOffset;
    bool isFolder;
};

class C_ArchiveView {
public:
    ZipResult Map(const wchar_t* path) {
        m_file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size;
        if (!m_file || !GetFileSizeEx(m_file.Get(), &size))
            return ZipResult::Unreadable;
        if (size.QuadPart < kEndSize)
            return ZipResult::NotAnArchive;
        if (size.QuadPart > 0x7FFFFFFF)
            return ZipResult::Unsupported;
        m_size = uint32_t(size.QuadPart);
        m_mapping.Reset(CreateFileMappingW(m_file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (m_mapping)
            m_view.Reset(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, 0));
        return m_view ? ZipResult::Extracted : ZipResult::Unreadable;
    }

    const BYTE* Data() const { return static_cast<const BYTE*>(m_view.Get()); }
    uint32_t Size() const { return m_size; }
    bool Holds(uint64_t offset, uint64_t length) const { return offset <= m_size && length <= m_size - offset; }

private:
    C_Handle m_file;
    C_Handle m_mapping;
    C_MappedView m_view;
    uint32_t m_size = 0;
};

bool DecodeName(const BYTE* bytes, uint16_t length, bool utf8, std::wstring& out) {
    if (length == 0)
        return false;
    const UINT codePage = utf8 ? CP_UTF8 : kOemUnitedStates;
    const DWORD flags = utf8 ? MB_ERR_INVALID_CHARS : 0;
    const int units = MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(bytes), length, nullptr, 0);
    if (units <= 0)
        return false;
    out.assign(size_t(units), L'\0');
    return MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(bytes), length, &out[0], units) ==
               units &&
           out.find(L'\0') == std::wstring::npos;
}

// Where the central directory lies, as the end record tells.
struct Directory {
    uint32_t offset;
    uint32_t size;
    uint16_t count;
};

// Finds the end record (behind a comment of any length up to the largest) and checks that the directory it
// names is a single-disk, non-Zip64 one that lies before it.
ZipResult ReadEndRecord(const C_ArchiveView& view, Directory& directory) {
    const BYTE* data = view.Data();
    const uint32_t size = view.Size();
    uint32_t end = size - kEndSize;
    const uint32_t lowest = size - kEndSize > kMaxComment ? size - kEndSize - kMaxComment : 0;
    while (Read32(data + end) != kEndSignature || end + kEndSize + Read16(data + end + 20) != size) {
        if (end == lowest)
            return ZipResult::NotAnArchive;
        --end;
    }
    const BYTE* record = data + end;
    const uint16_t disk = Read16(record + 4);
    const uint16_t directoryDisk = Read16(record + 6);
    const uint16_t onDisk = Read16(record + 8);
    directory = {Read32(record + 16), Read32(record + 12), Read16(record + 10)};
    if (directory.count == kZip64Marker16 || directory.offset == kZip64Marker32 || directory.size == kZip64Marker32)
        return ZipResult::Unsupported;
    if (disk != 0 || directoryDisk != 0 || onDisk != directory.count)
        return ZipResult::Unsupported;
    if (!view.Holds(directory.offset, directory.size) || directory.offset + directory.size > end)
        return ZipResult::NotAnArchive;
    return ZipResult::Extracted;
}

// One central directory header at `at`, which must end by limit; its whole length goes to length.
ZipResult ReadCentralHeader(const BYTE* data, uint32_t at, uint32_t limit, Entry& entry, uint32_t& length) {
    if (limit - at < kCentralSize || Read32(data + at) != kCentralSignature)
        return ZipResult::NotAnArchive;
    const BYTE* header = data + at;
    const uint16_t flags = Read16(header + 8);
    entry.method = Read16(header + 10);
    entry.crc = Read32(header + 16);
    entry.packedSize = Read32(header + 20);
    entry.size = Read32(header + 24);
    const uint16_t nameLength = Read16(header + 28);
    const uint32_t variable = uint32_t(nameLength) + Read16(header + 30) + Read16(header + 32);
    entry.localOffset = Read32(header + 42);
    if (limit - at - kCentralSize < variable)
        return ZipResult::NotAnArchive;
    if (flags & kFlagEncrypted)
        return ZipResult::Unsupported;
    if (entry.packedSize == kZip64Marker32 || entry.size == kZip64Marker32 || entry.localOffset == kZip64Marker32)
        return ZipResult::Unsupported;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        return ZipResult::Unsupported;
    if (entry.method == kMethodStored && entry.packedSize != entry.size)
        return ZipResult::Corrupt;
    if (!DecodeName(header + kCentralSize, nameLength, (flags & kFlagUtf8) != 0, entry.name))
        return ZipResult::UnsafePath;
    length = kCentralSize + variable;
    return ZipResult::Extracted;
}

// The entry's name with '\' separators; it must be a safe relative path (a folder's without its last '\').
ZipResult CheckEntryName(Entry& entry) {
    for (wchar_t& c : entry.name)
        if (c == L'/')
            c = L'\\';
    entry.isFolder = entry.name.back() == L'\\';
    std::wstring path = entry.name;
    if (entry.isFolder)
        path.pop_back();
    return IsSafeRelativePath(path.c_str()) ? ZipResult::Extracted : ZipResult::UnsafePath;
}

// Checks everything the extraction will rely on before a single byte is written.
ZipResult ReadDirectory(const C_ArchiveView& view, std::vector<Entry>& entries) {
    Directory directory{};
    ZipResult result = ReadEndRecord(view, directory);
    uint32_t at = directory.offset;
    const uint32_t limit = directory.offset + directory.size;
    for (uint16_t i = 0; result == ZipResult::Extracted && i < directory.count; ++i) {
        Entry entry;
        uint32_t length = 0;
        result = ReadCentralHeader(view.Data(), at, limit, entry, length);
        if (result == ZipResult::Extracted)
            result = CheckEntryName(entry);
        if (result == ZipResult::Extracted)
            entries.push_back(std::move(entry));
        at += length;
    }
    return result;
}

// Creates every folder on the way to path (not path itself).
bool CreateParents(const wchar_t* path, size_t baseLength) {
    std::wstring partial(path);
    for (size_t i = baseLength + 1; i < partial.size(); ++i) {
        if (partial[i] != L'\\')
            continue;
        partial[i] = 0;
        if (!CreateDirectoryW(partial.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        partial[i] = L'\\';
    }
    return true;
}

bool WriteAll(HANDLE file, const BYTE* data, DWORD length) {
    DWORD written = 0;
    return length == 0 || (WriteFile(file, data, length, &written, nullptr) && written == length);
}

ZipResult WriteStored(HANDLE file, const BYTE* packed, const Entry& entry) {
    if (!WriteAll(file, packed, entry.size))
        return ZipResult::WriteFailed;
    return crc32(0, packed, entry.size) == entry.crc ? ZipResult::Extracted : ZipResult::Corrupt;
}

ZipResult WriteDeflated(HANDLE file, const BYTE* packed, const Entry& entry) {
    std::unique_ptr<BYTE[]> output(new (std::nothrow) BYTE[kOutputPiece]);
    z_stream stream{};
    if (!output || inflateInit2(&stream, kRawDeflate) != Z_OK)
        return ZipResult::WriteFailed;
    stream.next_in = const_cast<Bytef*>(packed);
    stream.avail_in = entry.packedSize;
    uLong crc = crc32(0, nullptr, 0);
    uint64_t total = 0;
    ZipResult result = ZipResult::Corrupt;
    for (;;) {
        stream.next_out = output.get();
        stream.avail_out = kOutputPiece;
        const int status = inflate(&stream, Z_NO_FLUSH);
        const DWORD produced = kOutputPiece - stream.avail_out;
        total += produced;
        // A deflate stream that grows beyond the size the directory promises is refused as it grows.
        if ((status != Z_OK && status != Z_STREAM_END) || total > entry.size)
            break;
        if (!WriteAll(file, output.get(), produced)) {
            result = ZipResult::WriteFailed;
            break;
        }
        crc = crc32(crc, output.get(), produced);
        if (status == Z_STREAM_END) {
            if (total == entry.size && crc == entry.crc)
                result = ZipResult::Extracted;
            break;
        }
        if (produced == 0 && stream.avail_in == 0)
            break; // the data ended before the stream did
    }
    inflateEnd(&stream);
    return result;
}

ZipResult ExtractEntry(const C_ArchiveView& view, const Entry& entry, const wchar_t* path, size_t baseLength) {
    const BYTE* data = view.Data();
    if (!view.Holds(entry.localOffset, kLocalSize) || Read32(data + entry.localOffset) != kLocalSignature)
        return ZipResult::Corrupt;
    const BYTE* local = data + entry.localOffset;
    const uint64_t start = uint64_t(entry.localOffset) + kLocalSize + Read16(local + 26) + Read16(local + 28);
    if (!view.Holds(start, entry.packedSize))
        return ZipResult::Corrupt;
    if (!CreateParents(path, baseLength))
        return ZipResult::WriteFailed;
    C_Handle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ZipResult::WriteFailed;
    const BYTE* packed = data + start;
    const ZipResult result = entry.method == kMethodStored ? WriteStored(file.Get(), packed, entry)
                                                           : WriteDeflated(file.Get(), packed, entry);
    file.Reset();
    if (result != ZipResult::Extracted)
        DeleteFileW(path);
    return result;
}

} // namespace

ZipResult ExtractZipArchive(const wchar_t* archive, const wchar_t* folder) {
    C_ArchiveView view;
    ZipResult result = view.Map(archive);
    if (result != ZipResult::Extracted)
        return result;
    std::vector<Entry> entries;
    result = ReadDirectory(view, entries);
    if (result != ZipResult::Extracted)
        return result;

    // Every destination is resolved before the first write, so a refusal leaves the folder untouched.
    std::vector<std::wstring> paths;
    wchar_t base[MAX_PATH];
    const DWORD baseLength = GetFullPathNameW(folder, MAX_PATH, base, nullptr);
    if (baseLength == 0 || baseLength >= MAX_PATH)
        return ZipResult::WriteFailed;
    const size_t prefix = base[baseLength - 1] == L'\\' ? baseLength - 1 : baseLength;
    for (const Entry& entry : entries) {
        wchar_t path[MAX_PATH];
        std::wstring relative = entry.name;
        if (entry.isFolder)
            relative.pop_back();
        if (!JoinInside(folder, relative.c_str(), path, MAX_PATH))
            return ZipResult::UnsafePath;
        paths.push_back(path);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].isFolder) {
            if (!CreateParents((paths[i] + L"\\").c_str(), prefix))
                return ZipResult::WriteFailed;
            continue;
        }
        result = ExtractEntry(view, entries[i], paths[i].c_str(), prefix);
        if (result != ZipResult::Extracted)
            return result;
    }
    return ZipResult::Extracted;
}
