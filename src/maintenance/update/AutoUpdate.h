#pragma once
// C_AutoUpdate: at most once a week, asks the maker's update server whether a newer version exists; if so,
// asks the user, downloads the new files next to the running program, swaps them in and restarts it. When it
// cannot (a folder only an administrator may change, a step that failed), it says so instead of asking, or
// after the step.
//
// The check runs on a worker thread. Its questions go to the main window's thread as the registered message
// "_C_AutoUpdate", sent synchronously, which the component answers itself from the window's procedure (it
// subclasses the window from Start to Stop), so the main window's message loop needs nothing else.
//
// Closing never waits long for it: every request has time-outs, and Stop gives the worker a few seconds to end
// before it gives up on it (a request blocked on a silent server is not always ended by the system when asked
// from another thread); the program then ends its process without it.
#include "connection/threads/Thread.h"
#include "foundation/settings/Settings.h"
#include "foundation/base/TextString.h"
#include "maintenance/http/HttpClient.h"
#include "maintenance/update/UpdateHost.h"
#include "platform/system/Handles.h"
#include "platform/system/SubClassing.h"

#include <windows.h>

#include <cstdint>

class C_XmlDocument;
class C_XmlNode;

class C_AutoUpdate : private C_SubClassTarget {
public:
    // Options of Start.
    static constexpr uint32_t FLAG_INVENTORY_QUERY = 0x1;
    static constexpr uint32_t FLAG_NO_WORKER = 0x2; // Start prepares everything but runs no check
    static constexpr uint32_t FLAG_INI_SETTINGS = 0x4;
    static constexpr uint32_t FLAG_IGNORE_INTERVAL = 0x8;

    static constexpr const wchar_t* kMessageName = L"_C_AutoUpdate";
    static constexpr uint32_t kSubClassTag = 0x61757570; // "auup"
    static constexpr uint64_t kInterval = 604800;        // seconds: one week
    static constexpr const wchar_t* kAgent = L"AutoUpdate";
    static constexpr const wchar_t* kVersionSuffix = L"Version";
    // Connect, send and receive time-outs of every request of the check.
    static constexpr DWORD kRequestTimeoutMs = 30000;
    // The update description is small; an answer beyond this is not one, and the check ends quietly.
    static constexpr uint32_t kAnswerLimit = 1048576;
    // A question from the server is cut to this, so its box keeps its buttons on the screen.
    static constexpr uint32_t kQuestionLimit = 2000;
    static constexpr uint32_t kQuestionLines = 25;
    // How long a close waits for a check under way before it gives up on it.
    static constexpr DWORD kCloseWaitMs = 3000;

    // wParam of the registered message: which question to ask.
    static constexpr WPARAM QUESTION_UPDATE = 0;
    static constexpr WPARAM QUESTION_RESTART = 1;
    static constexpr WPARAM NOTICE_FAILURE = 2; // a box with OK alone

    explicit C_AutoUpdate(C_UpdateHost& host = C_UpdateHost::System()) : m_host(host) {
        m_client.SetTimeout(kRequestTimeoutMs);
    }
    ~C_AutoUpdate() { Stop(); }
    C_AutoUpdate(const C_AutoUpdate&) = delete;
    C_AutoUpdate& operator=(const C_AutoUpdate&) = delete;

    // Runs on the window's thread. True when the check is due and was started (or, with FLAG_NO_WORKER, is
    // ready for a Check); false when it is not due, the program runs packaged, or something needed could not be
    // set up.
    bool Start(const wchar_t* url, HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
               uint32_t flags = 0, const wchar_t* itemName = nullptr, const wchar_t* itemType = L"1");
    // Ends the request in progress, answers an open question "not now" (declining nothing), waits for the
    // worker (answering its questions meanwhile) and gives the window its procedure back. The wait ends
    // kCloseWaitMs after the first Stop at the latest: then a partial download is deleted and false says that
    // the worker still runs, so the process must end without waiting for it. False also when called from
    // within the open question, which can only end once Stop has returned; a later Stop finishes the job.
    // Runs on the window's thread.
    bool Stop();
    // Waits for the check to end without ending it, answering its questions meanwhile; true once it has ended
    // (or was never started). Runs on the window's thread.
    bool WaitFinished(DWORD milliseconds);

    // The worker's body: true when it started the new version and asked the window to close.
    bool Check();

    // The notification every request of the check passes: yes to everything, and certificates are checked.
    static int Notify(int code, uintptr_t data, void* userData);

private:
    struct UpdateFile;
    struct Offer;
    class FileSteps;

    static DWORD WorkerRoutine(void* context, DWORD);
    LRESULT OnSubClassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT AskQuestion(HWND window, WPARAM question);

    void DismissQuestion();
    void SetDownloading(const wchar_t* path);

    bool BuildQuery(C_String& query);
    bool FetchOffer(Offer& offer);
    bool ReadOffer(Offer& offer);
    bool AskToUpdate(const Offer& offer);
    bool NamesProgramFiles(const Offer& offer) const;
    bool TellFailure(const Offer& offer, UpdateFailure failure);
    bool ReadLocalised(const Offer& offer, const wchar_t* path, C_String& out);
    bool RunFileSteps(const Offer& offer);
    bool Restart(const Offer& offer);

    C_UpdateHost& m_host;
    HWND m_window = nullptr;
    C_String m_url;
    UINT m_message = 0;
    C_String m_application;
    C_String m_info;
    C_String m_restart;
    C_String m_help;
    C_String m_notice;
    C_String m_programToRun;
    C_String m_itemName;
    C_String m_itemType;
    C_String m_programPath;
    C_HttpClient m_client;
    bool m_success = false;
    volatile bool m_boxOpen = false;
    C_String m_valueName;
    uint32_t m_flags = 0;
    C_Settings m_settings;
    C_CriticalSection m_downloadLock;
    C_String m_downloading;  // the file a download is writing, empty between downloads
    uint64_t m_giveUpAt = 0; // tick count at which Stop stops waiting; 0 before the first Stop
    C_SubClassing m_questionRoute;
    C_SubClassing m_helpRoute; // attached only while a box with a Help button is open
    C_Thread m_worker;
};
