// The update's file steps: download every file, stage them beside the program and check them, then swap them in
// as one change (or leave everything as it was).
#include "maintenance/update/AutoUpdate.h"

#include "maintenance/update/FileSwap.h"
#include "maintenance/update/UpdateOffer.h"
#include "platform/formats/ProgramImage.h"
#include "platform/formats/SafePath.h"
#include "platform/formats/ZipArchive.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kFilesPath = L"update\\files";
constexpr const wchar_t* kFileElement = L"url";
constexpr const wchar_t* kNewSuffix = L"_new";
constexpr const wchar_t* kOldSuffix = L"_old";
constexpr size_t kMaxCutExtension = 4; // the dot and at most three characters

// N + suffix + E, the extension E being the text from the last dot when at most three characters follow it.
std::wstring WithSuffix(const std::wstring& name, const wchar_t* suffix) {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || name.size() - dot > kMaxCutExtension)
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// The file-name part of a download address, of its part after the first '=' when it has one.
std::wstring FileNameOfAddress(const std::wstring& url) {
    const size_t equals = url.find(L'=');
    std::wstring part = equals == std::wstring::npos ? url : url.substr(equals + 1);
    const size_t slash = part.find_last_of(L"/\\");
    return slash == std::wstring::npos ? part : part.substr(slash + 1);
}

std::wstring Trimmed(const wchar_t* text) {
    std::wstring trimmed(text);
    const size_t first = trimmed.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return trimmed.substr(first, trimmed.find_last_not_of(L" \t\r\n") - first + 1);
}

std::wstring StemOf(const std::wstring& name) {
    return name.substr(0, name.rfind(L'.'));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

struct C_AutoUpdate::UpdateFile {
    std::wstring url;
    std::wstring name; // the program folder's file it stands for; empty: a program for the desktop
    std::wstring zip;
    std::wstring download; // where it is downloaded to
};

// Downloads every file, stages the named ones in a folder beside the program, checks them, then lets the swap
// move them in. A failure anywhere leaves the program's folder as it was and deletes every download.
class C_AutoUpdate::FileSteps {
public:
    FileSteps(C_AutoUpdate& owner, std::vector<UpdateFile>& files, const std::wstring& folder, const Offer& offer)
        : m_owner(owner), m_files(files), m_folder(folder), m_offer(offer),
          m_programName(FileNameOf(owner.m_programPath.c_str())), m_swap(folder, StemOf(m_programName)) {}

    bool Run() {
        m_owner.m_success = DownloadAll() && Stage() && Check() && m_swap.Commit(KeptCopies());
        if (!m_owner.m_success)
            Discard();
        return m_owner.m_success;
    }

private:
    bool StopRequested() const { return m_owner.m_worker.StopRequested(); }

    bool DownloadAll() {
        for (UpdateFile& file : m_files) {
            DownloadRequest request;
            request.url = file.url.c_str();
            request.agent = kAgent;
            request.destination = file.download.c_str();
            request.notify = &C_AutoUpdate::Notify;
            request.userData = &m_owner;
            request.headers = C_HttpClient::kAcceptAll;
            if (StopRequested())
                return false;
            m_owner.SetDownloading(file.download.c_str());
            const bool downloaded = m_owner.m_client.Download(request);
            m_owner.SetDownloading(nullptr);
            if (!downloaded)
                return false;
        }
        return true;
    }

    // An archive brings all its entries, each checked against its checksum as it is written; a plain file
    // comes under its name.
    bool Stage() {
        if (!m_swap.Prepare())
            return false;
        for (UpdateFile& file : m_files) {
            if (file.name.empty())
                continue;
            if (StopRequested())
                return false;
            if (!file.zip.empty()) {
                const ZipResult extracted = ExtractZipArchive(file.download.c_str(), m_swap.Staging().c_str());
                DeleteFileW(file.download.c_str());
                if (extracted != ZipResult::Extracted)
                    return false;
            } else if (!MoveFileW(file.download.c_str(), (m_swap.Staging() + L"\\" + file.name).c_str())) {
                return false;
            }
        }
        return true;
    }

    // Every named file came, and has a current copy to keep; the one that takes the running program's place
    // must be a program for this machine, of the version offered.
    bool Check() {
        for (const UpdateFile& file : m_files) {
            if (file.name.empty())
                continue;
            const std::wstring staged = m_swap.Staging() + L"\\" + file.name;
            if (!Exists(staged) || !Exists(m_folder + L"\\" + file.name))
                return false;
            if (_wcsicmp(file.name.c_str(), m_programName.c_str()) == 0 &&
                CheckProgramImage(staged.c_str(), m_offer.versionText.c_str()) != ProgramImage::Runnable)
                return false;
        }
        return !StopRequested();
    }

    std::vector<C_FileSwap::KeptCopy> KeptCopies() const {
        std::vector<C_FileSwap::KeptCopy> kept;
        for (const UpdateFile& file : m_files)
            if (!file.name.empty())
                kept.push_back({file.name, WithSuffix(file.name, kOldSuffix)});
        return kept;
    }

    void Discard() {
        m_swap.Discard();
        for (const UpdateFile& file : m_files)
            DeleteFileW(file.download.c_str());
        m_owner.m_programToRun.Empty();
    }

    C_AutoUpdate& m_owner;
    std::vector<UpdateFile>& m_files;
    const std::wstring& m_folder;
    const Offer& m_offer;
    const std::wstring m_programName;
    C_FileSwap m_swap;
};

// Whether any file of the offer takes a place in the program's folder (rather than going to the desktop).
bool C_AutoUpdate::NamesProgramFiles(const Offer& offer) const {
    bool named = false;
    auto look = [&named](const wchar_t* name, const wchar_t*, const C_XmlNode& node) {
        C_XmlText attribute;
        if (_wcsicmp(name, kFileElement) == 0 && node.GetAttribute(L"name", attribute) && attribute.GetLength())
            named = true;
        return 0;
    };
    offer.document.ForEachChild(kFilesPath, look, offer.base);
    return named;
}

bool C_AutoUpdate::RunFileSteps(const Offer& offer) {
    std::vector<UpdateFile> files;
    auto collect = [&files](const wchar_t* name, const wchar_t* text, const C_XmlNode& node) {
        if (_wcsicmp(name, kFileElement) != 0)
            return 0;
        UpdateFile file;
        C_XmlText attribute;
        file.url = Trimmed(text);
        if (node.GetAttribute(L"name", attribute))
            file.name = attribute.c_str();
        if (node.GetAttribute(L"zip", attribute))
            file.zip = attribute.c_str();
        files.push_back(file);
        return 0;
    };
    offer.document.ForEachChild(kFilesPath, collect, offer.base);

    // Every name is checked before the first download: the server's names must stay inside the folders
    // they are meant for, and a check that started over TLS does not fetch the program itself without it.
    const std::wstring folder = Update::FolderOf(m_programPath.c_str());
    C_String desktop;
    for (UpdateFile& file : files) {
        if (file.url.empty() || (Update::IsHttps(m_url.c_str()) && !Update::IsHttps(file.url.c_str())))
            return false;
        if (!file.name.empty()) {
            if (!IsPlainFileName(file.name.c_str()) || (!file.zip.empty() && !IsPlainFileName(file.zip.c_str())))
                return false;
            file.download = folder + L"\\" + WithSuffix(file.zip.empty() ? file.name : file.zip, kNewSuffix);
        } else {
            const std::wstring leaf = file.zip.empty() ? FileNameOfAddress(file.url) : file.zip;
            if (!IsPlainFileName(leaf.c_str()) || (desktop.IsEmpty() && !m_host.GetDesktopFolder(desktop)))
                return false;
            file.download = std::wstring(desktop.c_str()) + L"\\" + leaf;
            m_programToRun.Assign(file.download.c_str());
        }
    }
    return FileSteps(*this, files, folder, offer).Run();
}
