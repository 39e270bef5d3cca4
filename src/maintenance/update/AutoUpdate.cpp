#include "maintenance/update/AutoUpdate.h"

#include "maintenance/update/UpdateOffer.h"
#include "platform/formats/SafePath.h"

#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>

namespace {

constexpr uint64_t kSkipOnce64 = UINT64_MAX;
constexpr uint64_t kSkipOnce32 = 0xFFFFFFFF; // the same -1 stored as a 32-bit value by another tool
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
constexpr const wchar_t* kExecutePath = L"update\\files\\execute";
constexpr const wchar_t* kFallbackLanguage = L"en";
constexpr const wchar_t* kMessageBoxClass = L"#32770";
constexpr int kTitleSize = 256;

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    return _wcsnicmp(text, prefix, wcslen(prefix)) == 0;
}
bool IsWebAddress(const wchar_t* text) {
    return StartsWithNoCase(text, L"http://") || StartsWithNoCase(text, L"https://");
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

// The box of the open question: the thread's message box that the window owns.
BOOL CALLBACK FindQuestionBox(HWND candidate, LPARAM context) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(context);
    wchar_t className[16] = {};
    if (GetWindow(candidate, GW_OWNER) != search->first || !GetClassNameW(candidate, className, 16) ||
        wcscmp(className, kMessageBoxClass) != 0)
        return TRUE;
    search->second = candidate;
    return FALSE;
}

} // namespace

int C_AutoUpdate::Notify(int code, uintptr_t data, void*) {
    // The check downloads code and runs it: certificate errors are not to be ignored.
    if (code == DOWNLOAD_CHECK_CERTIFICATES)
        *reinterpret_cast<int*>(data) = 1;
    return 1;
}

bool C_AutoUpdate::Start(const wchar_t* url, HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                         uint32_t flags, const wchar_t* itemName, const wchar_t* itemType) {
    if (!Stop())
        return false; // a check given up on still runs
    m_boxOpen = false;
    m_giveUpAt = 0;
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

bool C_AutoUpdate::Stop() {
    if (m_worker.IsRunning() && m_giveUpAt == 0) {
        m_giveUpAt = GetTickCount64() + kCloseWaitMs;
        m_worker.RequestStop();
        // Where the system honours it, this ends a request waiting on the network at once.
        m_client.Abort();
    }
    if (m_boxOpen) {
        // The question's box runs its loop further up this thread's stack, and the check waits for its answer,
        // which comes only after this returns.
        DismissQuestion();
        return false;
    }
    // A quit message is held back and posted again afterwards; the worker may still send a question.
    for (uint64_t now = GetTickCount64(); m_worker.IsRunning() && now < m_giveUpAt; now = GetTickCount64())
        m_worker.WaitFinished(DWORD(m_giveUpAt - now), QuitMessage::Deferred);
    m_helpRoute.Restore();
    m_questionRoute.Restore();
    if (!m_worker.IsRunning())
        return true;
    // Given up on: the file being downloaded goes now (it is shared for deletion and vanishes when the
    // download's handle closes with the process).
    C_Lock hold(m_downloadLock);
    if (!m_downloading.IsEmpty())
        DeleteFileW(m_downloading.c_str());
    return false;
}

void C_AutoUpdate::DismissQuestion() {
    std::pair<HWND, HWND> search{m_window, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindQuestionBox, reinterpret_cast<LPARAM>(&search));
    if (search.second)
        SendMessageW(search.second, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
}

void C_AutoUpdate::SetDownloading(const wchar_t* path) {
    C_Lock hold(m_downloadLock);
    m_downloading.Assign(path ? path : L"");
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

bool C_AutoUpdate::ReadLocalised(const Offer& offer, const wchar_t* path, C_String& out) {
    C_String language;
    m_host.GetLanguage(language);
    C_String localised;
    C_XmlText text;
    for (const wchar_t* choice : {language.c_str(), kFallbackLanguage}) {
        if (localised.Format(L"%s\\%s", path, choice) && offer.document.ReadText(localised.c_str(), text, offer.base))
            return AssignText(out, text);
    }
    return false;
}

bool C_AutoUpdate::Check() {
    Offer offer;
    if (!FetchOffer(offer) || !ReadOffer(offer))
        return false;
    // Yes could only fail: the user learns why, once for this version, and nothing is downloaded.
    if (NamesProgramFiles(offer) && !m_host.CanChangeFolder(Update::FolderOf(m_programPath.c_str()).c_str())) {
        if (TellFailure(offer, UpdateFailure::FolderLocked) && !m_valueName.IsEmpty())
            m_settings.WriteString(offer.declinedName.c_str(), offer.versionText.c_str());
        return false;
    }
    if (!AskToUpdate(offer))
        return false;
    if (!RunFileSteps(offer)) {
        TellFailure(offer, UpdateFailure::NotInstalled);
        return false;
    }
    return Restart(offer);
}

// Not while the program closes: then nobody is there to read it.
bool C_AutoUpdate::TellFailure(const Offer& offer, UpdateFailure failure) {
    C_String format;
    if (m_worker.StopRequested() || !m_host.GetFailureFormat(failure, format) ||
        !m_notice.Format(format.c_str(), offer.versionText.c_str(), Update::FolderOf(m_programPath.c_str()).c_str()))
        return false;
    return SendMessageW(m_window, m_message, NOTICE_FAILURE, 0) != 0;
}

// The server's answer as a document. One byte longer than the limit is read, to tell an answer that fills it
// from one that goes on.
bool C_AutoUpdate::FetchOffer(Offer& offer) {
    m_programPath.Empty();
    C_String query;
    C_String answer;
    C_String running;
    if (!m_host.GetProgramPath(m_programPath) || !m_host.GetProgramVersion(running) ||
        !Update::ParseVersion(running.c_str(), offer.running) || !BuildQuery(query) ||
        !m_client.Get(query.c_str(), kAgent, answer, kAnswerLimit + 1, nullptr, &C_AutoUpdate::Notify, this) ||
        answer.GetLength() > kAnswerLimit || m_worker.StopRequested())
        return false;
    // The answer arrives one byte per unit; its texts are UTF-8.
    C_String text;
    if (!answer.DecodeUtf8To(text) || !offer.document.LoadText(text.c_str()))
        return false;
    if (m_flags & FLAG_INVENTORY_QUERY) {
        offer.inventory = offer.document.FindElement(kInventoryBase);
        if (!offer.inventory)
            return false;
        offer.base = &offer.inventory;
    }
    return true;
}

// The texts of the questions, and whether the offered version is one to ask about at all.
bool C_AutoUpdate::ReadOffer(Offer& offer) {
    C_XmlText value;
    m_application.Empty();
    if (offer.document.ReadText(kApplicationPath, value, offer.base))
        AssignText(m_application, value);
    if (m_application.IsEmpty()) {
        // A box without a caption looks broken: the program's own title stands in.
        wchar_t title[kTitleSize] = {};
        GetWindowTextW(m_window, title, kTitleSize);
        m_application.Assign(title);
    }
    if (!ReadLocalised(offer, kInfoPath, m_info))
        return false;
    Update::CutToQuestion(m_info, kQuestionLimit, kQuestionLines);
    m_help.Empty();
    if (offer.document.ReadText(kHelpPath, value, offer.base))
        AssignText(m_help, value);
    if (!offer.document.ReadText(kVersionPath, value, offer.base) || !AssignText(offer.versionText, value) ||
        !Update::ParseVersion(offer.versionText.c_str(), offer.version) ||
        !Update::IsNewer(offer.version, offer.running))
        return false;
    if (m_valueName.IsEmpty())
        return true;
    C_String declined;
    offer.declinedName.Format(L"%s%s", m_valueName.c_str(), kVersionSuffix);
    return !m_settings.ReadString(offer.declinedName.c_str(), declined) ||
           declined.Compare(offer.versionText.c_str()) != 0;
}

bool C_AutoUpdate::AskToUpdate(const Offer& offer) {
    if (SendMessageW(m_window, m_message, QUESTION_UPDATE, 0) != 0)
        return true;
    // A question cut off by closing the program was never answered: nothing is declined.
    if (!m_valueName.IsEmpty() && !m_worker.StopRequested())
        m_settings.WriteString(offer.declinedName.c_str(), offer.versionText.c_str());
    return false;
}

bool C_AutoUpdate::Restart(const Offer& offer) {
    if (!ReadLocalised(offer, kRestartPath, m_restart))
        return false;
    Update::CutToQuestion(m_restart, kQuestionLimit, kQuestionLines);
    if (!m_restart.IsEmpty() && SendMessageW(m_window, m_message, QUESTION_RESTART, 0) == 0)
        return false;
    const std::wstring folder = Update::FolderOf(m_programPath.c_str());
    std::wstring program = m_programPath.c_str();
    C_XmlText execute;
    if (!m_programToRun.IsEmpty()) {
        program = m_programToRun.c_str();
    } else if (offer.document.ReadText(kExecutePath, execute, offer.base) && execute.GetLength()) {
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
    if (question > NOTICE_FAILURE || m_worker.StopRequested())
        return 0;
    if (question == NOTICE_FAILURE) {
        m_boxOpen = true;
        m_host.Ask(window, m_notice.c_str(), m_application.c_str(), MB_OK | MB_ICONWARNING);
        m_boxOpen = false;
        return 1;
    }
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
    // A close while the box was open answered it; a Yes pressed in the same moment does not count.
    return answer == IDYES && !m_worker.StopRequested() ? 1 : 0;
}
