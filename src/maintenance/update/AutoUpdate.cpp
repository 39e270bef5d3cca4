#include "maintenance/update/AutoUpdate.h"

#include "platform/formats/SafePath.h"
#include "platform/formats/XmlDocument.h"
#include "platform/formats/ZipArchive.h"

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kSkipOnce64 = UINT64_MAX;
constexpr uint64_t kSkipOnce32 = 0xFFFFFFFF; // the same -1 stored as a 32-bit value by another tool
constexpr const wchar_t* kVersionFormat = L"%u.%u";
constexpr const wchar_t* kQueryFormat = L"%s%cv=%s&id=%s";
constexpr const wchar_t* kInventoryFormat = L"%s%ca=updates&d=0&f=16&l=%s&g=%s&i=%s";
constexpr const wchar_t* kInventoryItemFormat =
    L"<Fenmore><Inventory><Item Type=\"%s\" Name=\"%s\" Version=\"%s\" /></Inventory></Fenmore>";
constexpr const wchar_t* kInventoryBase = L"Fenmore\\Updates\\xml";
constexpr const wchar_t* kApplicationPath = L"update\\application";
constexpr const wchar_t* kInfoPath = L"update\\info";
constexpr const wchar_t* kHelpPath = L"update\\help";
constexpr const wchar_t* kVersionPath = L"update\\version";
constexpr const wchar_t* kRestartPath = L"update\\restart";
constexpr const wchar_t* kFilesPath = L"update\\files";
constexpr const wchar_t* kExecutePath = L"update\\files\\execute";
constexpr const wchar_t* kFileElement = L"url";
constexpr const wchar_t* kFallbackLanguage = L"en";
constexpr const wchar_t* kNewSuffix = L"_new";
constexpr const wchar_t* kOldSuffix = L"_old";
constexpr size_t kMaxCutExtension = 4; // the dot and at most three characters
constexpr int kTitleSize = 256;

struct Version {
    unsigned major = 0;
    unsigned minor = 0;
};

bool ParseVersion(const wchar_t* text, Version& out) {
    return text && swscanf(text, kVersionFormat, &out.major, &out.minor) == 2;
}

// Numbers, not texts: 1.5 is older than 1.37.
bool IsNewer(const Version& offered, const Version& running) {
    return offered.major > running.major || (offered.major == running.major && offered.minor > running.minor);
}

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    return _wcsnicmp(text, prefix, wcslen(prefix)) == 0;
}
bool IsHttps(const wchar_t* url) {
    return StartsWithNoCase(url, L"https://");
}
bool IsWebAddress(const wchar_t* text) {
    return StartsWithNoCase(text, L"http://") || IsHttps(text);
}

// Characters a query value may carry as they are; everything else is percent-encoded as UTF-8.
bool IsUnreserved(wchar_t c) {
    return (c < 0x80 && iswalnum(c)) || (c != 0 && wcschr(L"-_.~", c));
}

bool AppendQueryValue(C_String& out, const wchar_t* value) {
    C_String utf8;
    C_String source;
    if (!source.Assign(value) || !source.EncodeUtf8To(utf8))
        return false;
    for (uint32_t i = 0; i < utf8.GetLength(); ++i) {
        const wchar_t c = utf8.GetAt(int(i));
        wchar_t escaped[4];
        if (IsUnreserved(c)) {
            if (!out.AppendChar(c))
                return false;
        } else {
            _snwprintf(escaped, 4, L"%%%02X", unsigned(c & 0xFF));
            if (!out.Append(escaped, 3))
                return false;
        }
    }
    return true;
}

bool AssignText(C_String& out, const C_XmlText& text) {
    return out.Assign(text.c_str(), text.GetLength());
}

std::wstring FolderOf(const wchar_t* path) {
    std::wstring folder(path);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash);
    return folder;
}

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

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

struct C_AutoUpdate::UpdateFile {
    std::wstring url;
    std::wstring name;
    std::wstring zip;
    std::wstring download; // where step 1 puts it
    std::wstring target;   // the program folder's file it replaces (named elements)
    std::wstring old;      // where step 2 keeps the current file
    bool saved = false;
};

// Runs the three file steps over the elements and undoes what it did when a later step fails.
class C_AutoUpdate::FileSteps {
public:
    FileSteps(C_AutoUpdate& owner, std::vector<UpdateFile>& files, const std::wstring& folder)
        : m_owner(owner), m_files(files), m_folder(folder) {}

    bool Run() {
        m_owner.m_success = DownloadAll();
        if (m_owner.m_success)
            m_owner.m_success = SaveOld();
        if (m_owner.m_success)
            m_owner.m_success = Install();
        if (!m_owner.m_success)
            RollBack();
        return m_owner.m_success;
    }

private:
    bool DownloadAll() {
        for (UpdateFile& file : m_files) {
            DownloadRequest request;
            request.url = file.url.c_str();
            request.agent = kAgent;
            request.destination = file.download.c_str();
            request.notify = &C_AutoUpdate::Notify;
            request.userData = &m_owner;
            request.headers = C_HttpClient::kAcceptAll;
            if (m_owner.m_worker.StopRequested() || !m_owner.m_client.Download(request))
                return false;
        }
        return true;
    }

    bool SaveOld() {
        for (UpdateFile& file : m_files) {
            if (file.name.empty())
                continue;
            DeleteFileW(file.old.c_str());
            // The running program's file can be renamed while it runs; its new copy then takes the name.
            if (!MoveFileW(file.target.c_str(), file.old.c_str()))
                return false;
            file.saved = true;
        }
        return true;
    }

    bool Install() {
        for (UpdateFile& file : m_files) {
            if (file.name.empty())
                continue;
            if (!file.zip.empty()) {
                const ZipResult extracted = ExtractZipArchive(file.download.c_str(), m_folder.c_str());
                DeleteFileW(file.download.c_str());
                // An archive without the file it stands for would leave no program to start.
                if (extracted != ZipResult::Extracted || !Exists(file.target))
                    return false;
            } else if (!MoveFileW(file.download.c_str(), file.target.c_str())) {
                return false;
            }
        }
        return true;
    }

    // A half-installed update would leave no program to start at all: every file saved in step 2 goes back,
    // and nothing downloaded is left lying about.
    void RollBack() {
        for (UpdateFile& file : m_files) {
            if (file.saved) {
                if (Exists(file.target))
                    DeleteFileW(file.target.c_str());
                if (MoveFileW(file.old.c_str(), file.target.c_str()))
                    file.saved = false;
            }
            DeleteFileW(file.download.c_str());
        }
        m_owner.m_programToRun.Empty();
    }

    C_AutoUpdate& m_owner;
    std::vector<UpdateFile>& m_files;
    const std::wstring& m_folder;
};

int C_AutoUpdate::Notify(int code, uintptr_t data, void*) {
    // The check downloads code and runs it: certificate errors are not to be ignored.
    if (code == DOWNLOAD_CHECK_CERTIFICATES)
        *reinterpret_cast<int*>(data) = 1;
    return 1;
}

bool C_AutoUpdate::Start(const wchar_t* url, HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                         uint32_t flags, const wchar_t* itemName, const wchar_t* itemType) {
    Stop();
    m_boxOpen = false;
    m_url.Assign(url ? url : L"");
    m_window = window;
    m_valueName.Assign(valueName ? valueName : L"");
    m_flags = flags;
    m_itemName.Assign(itemName ? itemName : L"");
    m_itemType.Assign(itemType ? itemType : L"");
    m_programToRun.Empty();
    if (m_host.IsPackaged())
        return false; // the package store brings updates
    m_settings.Close();
    const uint32_t backend = (flags & FLAG_INI_SETTINGS) ? C_Settings::BACKEND_INI : C_Settings::BACKEND_REGISTRY;
    if (!m_settings.Open(backend, root, keyPath))
        return false;
    if (!m_valueName.IsEmpty()) {
        const uint64_t last = m_settings.ReadNumber(m_valueName.c_str(), 0);
        if (last == kSkipOnce64 || last == kSkipOnce32) {
            m_settings.WriteNumber(m_valueName.c_str(), 0);
            return false;
        }
        const uint64_t now = m_host.Now();
        if (!(flags & FLAG_IGNORE_INTERVAL) && last + kInterval >= now)
            return false;
        // Stored before asking: a check that fails is not repeated before next week either.
        m_settings.WriteNumber(m_valueName.c_str(), now);
    }
    m_message = RegisterWindowMessageW(kMessageName);
    if (!m_message || !m_questionRoute.Attach(window, kSubClassTag, m_message, this))
        return false;
    m_client.AllowRequests();
    if (flags & FLAG_NO_WORKER)
        return true;
    return m_worker.Start(&C_AutoUpdate::WorkerRoutine, this);
}

void C_AutoUpdate::Stop() {
    if (m_worker.IsRunning()) {
        m_worker.RequestStop();
        m_client.Abort(); // closing never waits on a server that does not answer
        // A quit message makes the wait give up early; the worker may still send a question, so wait again.
        while (m_worker.IsRunning())
            m_worker.WaitFinished();
    }
    m_helpRoute.Restore();
    m_questionRoute.Restore();
}

bool C_AutoUpdate::WaitFinished(DWORD milliseconds) {
    return m_worker.WaitFinished(milliseconds) || !m_worker.IsRunning();
}

DWORD C_AutoUpdate::WorkerRoutine(void* context, DWORD) {
    return static_cast<C_AutoUpdate*>(context)->Check() ? 1 : 0;
}

bool C_AutoUpdate::BuildQuery(C_String& query) {
    C_String version;
    C_String id;
    if (!m_host.GetProgramVersion(version) || !m_host.GetMachineId(id))
        return false;
    const wchar_t separator = m_url.FindChar(L'?') >= 0 ? L'&' : L'?';
    if (!(m_flags & FLAG_INVENTORY_QUERY))
        return query.Format(kQueryFormat, m_url.c_str(), separator, version.c_str(), id.c_str());
    // The inventory travels as XML inside the query, so it is percent-encoded: raw blanks and quotes would
    // break the request line.
    C_String language;
    C_String item;
    C_String encoded;
    m_host.GetLanguage(language);
    return item.Format(kInventoryItemFormat, m_itemType.c_str(), m_itemName.c_str(), version.c_str()) &&
           AppendQueryValue(encoded, item.c_str()) &&
           query.Format(kInventoryFormat, m_url.c_str(), separator, language.c_str(), id.c_str(), encoded.c_str());
}

bool C_AutoUpdate::ReadLocalised(const C_XmlDocument& document, const C_XmlNode* base, const wchar_t* path,
                                 C_String& out) {
    C_String language;
    m_host.GetLanguage(language);
    C_String localised;
    C_XmlText text;
    for (const wchar_t* choice : {language.c_str(), kFallbackLanguage}) {
        if (localised.Format(L"%s\\%s", path, choice) && document.ReadText(localised.c_str(), text, base))
            return AssignText(out, text);
    }
    return false;
}

bool C_AutoUpdate::Check() {
    m_programPath.Empty();
    C_String query;
    C_String answer;
    C_String running;
    Version current;
    if (!m_host.GetProgramPath(m_programPath) || !m_host.GetProgramVersion(running) ||
        !ParseVersion(running.c_str(), current) || !BuildQuery(query) ||
        !m_client.Get(query.c_str(), kAgent, answer, 0, nullptr, &C_AutoUpdate::Notify, this) ||
        m_worker.StopRequested())
        return false;

    // The answer arrives one byte per unit; its texts are UTF-8.
    C_String text;
    C_XmlDocument document;
    if (!answer.DecodeUtf8To(text) || !document.LoadText(text.c_str()))
        return false;
    C_XmlNode inventory;
    const C_XmlNode* base = nullptr;
    if (m_flags & FLAG_INVENTORY_QUERY) {
        inventory = document.FindElement(kInventoryBase);
        if (!inventory)
            return false;
        base = &inventory;
    }

    C_XmlText value;
    m_application.Empty();
    if (document.ReadText(kApplicationPath, value, base))
        AssignText(m_application, value);
    if (m_application.IsEmpty()) {
        // A box without a caption looks broken: the program's own title stands in.
        wchar_t title[kTitleSize] = {};
        GetWindowTextW(m_window, title, kTitleSize);
        m_application.Assign(title);
    }
    if (!ReadLocalised(document, base, kInfoPath, m_info))
        return false;
    m_help.Empty();
    if (document.ReadText(kHelpPath, value, base))
        AssignText(m_help, value);
    Version offered;
    C_String offeredText;
    if (!document.ReadText(kVersionPath, value, base) || !AssignText(offeredText, value) ||
        !ParseVersion(offeredText.c_str(), offered) || !IsNewer(offered, current))
        return false;

    C_String declinedName;
    if (!m_valueName.IsEmpty()) {
        C_String declined;
        declinedName.Format(L"%s%s", m_valueName.c_str(), kVersionSuffix);
        if (m_settings.ReadString(declinedName.c_str(), declined) && declined.Compare(offeredText.c_str()) == 0)
            return false;
    }
    if (SendMessageW(m_window, m_message, QUESTION_UPDATE, 0) == 0) {
        // A question cut off by closing the program was never answered: nothing is declined.
        if (!m_valueName.IsEmpty() && !m_worker.StopRequested())
            m_settings.WriteString(declinedName.c_str(), offeredText.c_str());
        return false;
    }
    return RunFileSteps(document, base) && Restart(document, base);
}

bool C_AutoUpdate::RunFileSteps(const C_XmlDocument& document, const C_XmlNode* base) {
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
    document.ForEachChild(kFilesPath, collect, base);

    // Every name is checked before the first download: the server's names must stay inside the folders
    // they are meant for, and a check that started over TLS does not fetch the program itself without it.
    const std::wstring folder = FolderOf(m_programPath.c_str());
    C_String desktop;
    for (UpdateFile& file : files) {
        if (file.url.empty() || (IsHttps(m_url.c_str()) && !IsHttps(file.url.c_str())))
            return false;
        if (!file.name.empty()) {
            if (!IsPlainFileName(file.name.c_str()) || (!file.zip.empty() && !IsPlainFileName(file.zip.c_str())))
                return false;
            file.target = folder + L"\\" + file.name;
            file.old = folder + L"\\" + WithSuffix(file.name, kOldSuffix);
            file.download = folder + L"\\" + WithSuffix(file.zip.empty() ? file.name : file.zip, kNewSuffix);
        } else {
            const std::wstring leaf = file.zip.empty() ? FileNameOfAddress(file.url) : file.zip;
            if (!IsPlainFileName(leaf.c_str()) || (desktop.IsEmpty() && !m_host.GetDesktopFolder(desktop)))
                return false;
            file.download = std::wstring(desktop.c_str()) + L"\\" + leaf;
            m_programToRun.Assign(file.download.c_str());
        }
    }
    return FileSteps(*this, files, folder).Run();
}

bool C_AutoUpdate::Restart(const C_XmlDocument& document, const C_XmlNode* base) {
    if (!ReadLocalised(document, base, kRestartPath, m_restart))
        return false;
    if (!m_restart.IsEmpty() && SendMessageW(m_window, m_message, QUESTION_RESTART, 0) == 0)
        return false;
    const std::wstring folder = FolderOf(m_programPath.c_str());
    std::wstring program = m_programPath.c_str();
    C_XmlText execute;
    if (!m_programToRun.IsEmpty()) {
        program = m_programToRun.c_str();
    } else if (document.ReadText(kExecutePath, execute, base) && execute.GetLength()) {
        // Only a program of the update's own folder: the answer must not name any command of the machine.
        if (!IsPlainFileName(execute.c_str()))
            return false;
        program = folder + L"\\" + execute.c_str();
    }
    m_host.StartProgram(program.c_str(), folder.c_str());
    PostMessageW(m_window, WM_CLOSE, 0, 0);
    return true;
}

LRESULT C_AutoUpdate::OnSubClassMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == m_message)
        return AskQuestion(window, wParam);
    // Only a web address: the help text comes from the network and must not start a program.
    if (message == WM_HELP && m_boxOpen && IsWebAddress(m_help.c_str()))
        m_host.OpenAddress(m_help.c_str());
    return TRUE;
}

LRESULT C_AutoUpdate::AskQuestion(HWND window, WPARAM question) {
    // The window is closing: no box pops up over a program that is going away.
    if ((question != QUESTION_UPDATE && question != QUESTION_RESTART) || m_worker.StopRequested())
        return 0;
    UINT type = MB_YESNO | MB_ICONQUESTION;
    const bool withHelp = question == QUESTION_UPDATE && !m_help.IsEmpty();
    if (withHelp) {
        type |= MB_HELP;
        m_helpRoute.Attach(window, kSubClassTag, WM_HELP, this);
    }
    m_boxOpen = true;
    const int answer = m_host.Ask(window, question == QUESTION_UPDATE ? m_info.c_str() : m_restart.c_str(),
                                  m_application.c_str(), type);
    m_boxOpen = false;
    m_helpRoute.Restore();
    return answer == IDYES ? 1 : 0;
}
