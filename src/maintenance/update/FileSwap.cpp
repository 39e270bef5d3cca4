#include "maintenance/update/FileSwap.h"

#include "platform/system/Handles.h"

#include <windows.h>

#include <utility>

namespace {

constexpr const wchar_t* kStagingSuffix = L".update-new";
constexpr const wchar_t* kAsideSuffix = L".update-old";
constexpr wchar_t kSeparator = L'\\';

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Calls visit(name, isFolder, isLink) for every entry of folder; false when the folder cannot be read.
template <class Visit> bool ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW found;
    C_FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    do {
        if (IsDotEntry(found.cFileName))
            continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        ok = visit(std::wstring(found.cFileName), isFolder, isLink) && ok;
    } while (FindNextFileW(search.Get(), &found));
    return ok;
}

bool ListBelow(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out) {
    return ForEachEntry(folder, [&](const std::wstring& name, bool isFolder, bool isLink) {
        if (!isFolder) {
            out.push_back(prefix + name);
            return true;
        }
        // A link to a folder is not one of the set's files.
        return isLink || ListBelow(folder + kSeparator + name, prefix + name + kSeparator, out);
    });
}

} // namespace

bool DeleteFolderTree(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    bool ok = true;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ok = ForEachEntry(folder, [&folder](const std::wstring& name, bool isFolder, bool isLink) {
            const std::wstring path = folder + kSeparator + name;
            if (isFolder)
                return isLink ? RemoveDirectoryW(path.c_str()) != FALSE : DeleteFolderTree(path);
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return DeleteFileW(path.c_str()) != FALSE;
        });
    return RemoveDirectoryW(folder.c_str()) && ok;
}

bool ListFiles(const std::wstring& folder, std::vector<std::wstring>& relativePaths) {
    relativePaths.clear();
    return ListBelow(folder, L"", relativePaths);
}

C_FileSwap::C_FileSwap(std::wstring folder, const std::wstring& stem)
    : m_folder(std::move(folder)), m_staging(m_folder + kSeparator + stem + kStagingSuffix),
      m_aside(m_folder + kSeparator + stem + kAsideSuffix) {}

bool C_FileSwap::Prepare() {
    Discard();
    return CreateDirectoryW(m_staging.c_str(), nullptr) != FALSE;
}

bool C_FileSwap::Commit(const std::vector<KeptCopy>& kept) {
    m_moves.clear();
    m_newFolders.clear();
    std::vector<std::wstring> staged;
    bool ok = ListFiles(m_staging, staged) && CreateDirectoryW(m_aside.c_str(), nullptr);
    for (const KeptCopy& copy : kept)
        ok = ok && SetAside(copy.keptAs) &&
             MoveLogged(m_folder + kSeparator + copy.name, m_folder + kSeparator + copy.keptAs);
    for (const std::wstring& relative : staged)
        ok = ok && PlaceStaged(relative);
    if (!ok)
        Undo();
    Discard();
    return ok;
}

void C_FileSwap::Discard() {
    DeleteFolderTree(m_staging);
    DeleteFolderTree(m_aside);
}

bool C_FileSwap::MoveLogged(const std::wstring& from, const std::wstring& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), 0))
        return false;
    m_moves.push_back({from, to});
    return true;
}

// The folder's current file at relative goes into the set-aside folder, under the same relative path.
bool C_FileSwap::SetAside(const std::wstring& relative) {
    const std::wstring current = m_folder + kSeparator + relative;
    if (!Exists(current))
        return true;
    for (size_t slash = relative.find(kSeparator); slash != std::wstring::npos;
         slash = relative.find(kSeparator, slash + 1)) {
        const std::wstring folder = m_aside + kSeparator + relative.substr(0, slash);
        if (!Exists(folder) && !CreateDirectoryW(folder.c_str(), nullptr))
            return false;
    }
    return MoveLogged(current, m_aside + kSeparator + relative);
}

bool C_FileSwap::MakeFolders(const std::wstring& relative) {
    for (size_t slash = relative.find(kSeparator); slash != std::wstring::npos;
         slash = relative.find(kSeparator, slash + 1)) {
        const std::wstring folder = m_folder + kSeparator + relative.substr(0, slash);
        if (Exists(folder))
            continue;
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            return false;
        m_newFolders.push_back(folder);
    }
    return true;
}

bool C_FileSwap::PlaceStaged(const std::wstring& relative) {
    return MakeFolders(relative) && SetAside(relative) &&
           MoveLogged(m_staging + kSeparator + relative, m_folder + kSeparator + relative);
}

// Best effort: a move that cannot be undone (a file someone opened meanwhile) does not stop the others.
void C_FileSwap::Undo() {
    for (auto move = m_moves.rbegin(); move != m_moves.rend(); ++move)
        MoveFileExW(move->to.c_str(), move->from.c_str(), 0);
    for (auto folder = m_newFolders.rbegin(); folder != m_newFolders.rend(); ++folder)
        RemoveDirectoryW(folder->c_str());
    m_moves.clear();
    m_newFolders.clear();
}
