#pragma once
// A connection manager running against a stand-in main window on the test thread: every status, title, Options
// text, port-list announcement and reopen timer is recorded in order as the window receives it, and the test
// pumps the thread's messages while it waits for what it expects.
#include "connection/manager/Connection.h"
#include "stand-in/StandInWindow.h"
#include "foundation/settings/SettingsStore.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

constexpr DWORD kHarnessTimeoutMs = 30000;
constexpr const wchar_t* kNoName = L"<none>";

// A clock in milliseconds with sub-millisecond steps.
double NowMs();

// Tags and nothing else, in memory.
class MemoryTags : public C_SettingsStore {
public:
    std::map<std::wstring, std::wstring> tags;

    uint64_t ReadNumber(const wchar_t*, uint64_t defaultValue, const wchar_t*) const override { return defaultValue; }
    bool WriteNumber(const wchar_t*, uint64_t, const wchar_t*) override { return false; }
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                    const wchar_t* section) const override;
    bool WriteString(const wchar_t*, const wchar_t*, const wchar_t*) override { return false; }
};

struct Status {
    unsigned id; // the string-table entry the title came from; 0 for an unknown text
    std::wstring name;
    bool operator==(const Status& other) const { return id == other.id && name == other.name; }
};

class ConnectionHarness : public C_StandInObserver {
public:
    ConnectionHarness();
    ~ConnectionHarness();

    bool Start();
    void Stop();

    // Dispatches this thread's messages until done() holds; false when the limit passed first.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kHarnessTimeoutMs);
    // Until n opens have ended (each ends by setting the Options text).
    bool WaitForOpens(size_t n) {
        return PumpUntil([&] { return optionsTexts.size() >= n; });
    }
    bool WaitForStatuses(size_t n) {
        return PumpUntil([&] { return statuses.size() >= n; });
    }
    bool WaitForPortsChanged(WPARAM number, size_t n);
    // Until the line store's text export contains text.
    bool WaitForStoreText(const std::string& text);
    std::string StoreText();

    C_LineStore store;
    C_ReceiveAssembly assembly{store};
    MemoryTags tags;
    C_StandInWindow window{*this};
    C_Connection connection{assembly};

    std::vector<Status> statuses;
    std::vector<double> statusTimes; // milliseconds, when each status arrived
    std::vector<std::wstring> titles;
    std::vector<std::wstring> optionsTexts;
    std::vector<WPARAM> portsChanged;
    std::vector<bool> reopenTimer;
    // "port|lines|raised" for every change of the modem lines the connection asked to remember.
    std::vector<std::wstring> remembered;

private:
    void OnStatus(const wchar_t* title, const wchar_t* name) override;
    void OnPortsChanged(WPARAM number) override { portsChanged.push_back(number); }
    void OnTitleSuffix(const wchar_t* text) override { titles.push_back(text ? text : kNoName); }
    void OnOptionsText(const wchar_t* text) override { optionsTexts.push_back(text ? text : kNoName); }
    void OnReopenTimer(bool running) override { reopenTimer.push_back(running); }
    void OnModemLinesRemembered(const wchar_t* port, uint8_t lines, bool raised) override {
        remembered.push_back(std::wstring(port) + L"|" + std::to_wstring(lines) + L"|" + (raised ? L"1" : L"0"));
    }

    bool m_started = false;
};

// The statuses an open of target shows when nothing (closeName: none) or something was open before, and how it
// ends (STATUS_OPENED or STATUS_OPEN_FAILED).
std::vector<Status> OpenStatuses(const std::wstring& target, StatusText end, const std::wstring& closeName = kNoName);
std::wstring Printable(const std::vector<Status>& statuses);
