#pragma once
// What the main window asks of the maintenance services (the problem report and the update check). Those live
// beside the user interface, not below it, so the window reaches them only through this interface; the
// program's entry point supplies the implementation and keeps it alive for as long as the main window.
//
// Every call is made on the user-interface thread. The addresses of the maker's servers are the services'
// own business: the window names only what it owns (its icon, its window, its registry key).
#include <windows.h>

class C_ServiceHooks {
public:
    // At start, before anything else: the problem report's dialog icon and the path of the report service on
    // the maker's server. No product name and no extra field are given.
    virtual void ConfigureProblemReport(UINT iconId, const wchar_t* reportPath) = 0;

    // At start, when automatic update checks are on. window receives the update check's questions (it is
    // subclassed for them); the time of the last check is kept under root\keyPath in valueName.
    virtual void StartUpdateCheck(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName) = 0;

    // At close, before the connection stops: answers an open question "not now" and waits a few seconds at most
    // for a check under way, still answering its questions meanwhile.
    virtual void StopUpdateCheck() = 0;

protected:
    ~C_ServiceHooks() = default;
};

// For a program without the services (and for tests): every request is accepted and nothing happens.
class C_NoServiceHooks final : public C_ServiceHooks {
public:
    void ConfigureProblemReport(UINT, const wchar_t*) override {}
    void StartUpdateCheck(HWND, HKEY, const wchar_t*, const wchar_t*) override {}
    void StopUpdateCheck() override {}
};
