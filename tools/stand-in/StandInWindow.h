#pragma once
// C_StandInWindow: plays the main window's part for a connection where there is no main window (the
// command-line tool, tests). A hidden window of the creating thread receives what the connection posts and
// sends, and the thread's message loop serves it; the title, the Options text and the statuses go to an
// observer, in the order the connection made them. Like the main window it reopens the selected port when a
// refresh asks for it, retries on the reopen timer and refreshes on device arrival and removal; the string
// table is the English one.
#include "connection/manager/ConnectionWindow.h"
#include "foundation/settings/SettingsStore.h"

#include <windows.h>

#include <map>
#include <string>

class C_Connection;

// Everything arrives on the window's thread.
class C_StandInObserver {
public:
    virtual void OnStatus(const wchar_t* title, const wchar_t* name) = 0;
    virtual void OnPortsChanged(WPARAM number) = 0;
    virtual void OnTitleSuffix(const wchar_t* text) = 0;
    // The last step of every open, successful or not.
    virtual void OnOptionsText(const wchar_t* text) = 0;
    virtual void OnReopenTimer(bool running) = 0;
    // The connection asks to remember modem lines for the port's next opening. Nothing by default.
    virtual void OnModemLinesRemembered(const wchar_t* /*port*/, uint8_t /*lines*/, bool /*raised*/) {}

protected:
    ~C_StandInObserver() = default;
};

class C_StandInWindow final : public C_ConnectionWindow, public C_ConnectionOptions {
public:
    explicit C_StandInWindow(C_StandInObserver& observer);
    ~C_StandInWindow();
    C_StandInWindow(const C_StandInWindow&) = delete;
    C_StandInWindow& operator=(const C_StandInWindow&) = delete;

    bool IsValid() const { return m_window != nullptr; }
    // The connection whose timer ticks and refresh requests this window serves.
    void Attach(C_Connection* connection) { m_connection = connection; }

    // Set before the connection starts (they are read on its command thread).
    void SetCharSendDelay(uint32_t milliseconds) { m_charSendDelay = milliseconds; }
    void SetLineDelay(uint32_t milliseconds) { m_lineDelay = milliseconds; }
    void SetSerialLineSettings(const SerialLineSettings& line) { m_line = line; }
    bool SetCommandLinePort(const wchar_t* port) { return m_commandLinePort.Assign(port ? port : L""); }
    // Where tags and the names boards had are read from (the section "Tags", BoardNames); none: no tags.
    void SetTagStore(const C_SettingsStore* store) { m_tags = store; }
    // The port the window reopens after a refresh that asks for it, following its board to another name;
    // empty: none. Window thread only.
    bool SelectPort(const wchar_t* port) { return m_selectedPort.Assign(port ? port : L""); }
    const C_String& SelectedPort() const { return m_selectedPort; }

    // The English entries of the string table that the connection uses; "?" for any other.
    static const wchar_t* EnglishText(unsigned id);

    // C_ConnectionWindow
    HWND GetWindow() override { return m_window; }
    void LoadText(unsigned id, C_String& text) override { text.Assign(EnglishText(id)); }
    void SetTitleSuffix(const wchar_t* text) override;
    void SetOptionsButtonText(const wchar_t* text) override;
    void SetReopenTimer(bool running) override;

    // C_ConnectionOptions
    uint32_t GetCharSendDelay() override { return m_charSendDelay; }
    uint32_t GetLineDelay() override { return m_lineDelay; }
    SerialLineSettings GetSerialLineSettings(const wchar_t*) override { return m_line; }
    void GetCommandLinePort(C_String& port) override { port.Assign(m_commandLinePort); }
    void LoadTag(const wchar_t* key, C_String& tag) override;
    // Tells what the program recorded, and records nothing: the stand-in's store is read only.
    void NoteBoardListed(const wchar_t* identity, const wchar_t* devicePath, C_String& former) override;
    void RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) override;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnPortsChanged(WPARAM number);
    void OnTimer(UINT_PTR timer);
    void OnDeviceChange(WPARAM event, LPARAM data);

    C_StandInObserver& m_observer;
    HWND m_window = nullptr;
    C_Connection* m_connection = nullptr;
    uint32_t m_charSendDelay = 0;
    uint32_t m_lineDelay = 0;
    SerialLineSettings m_line;
    C_String m_commandLinePort;
    C_String m_selectedPort;
    const C_SettingsStore* m_tags = nullptr;
    // Where each listed board's tag is read from (BoardNames::ValuesKey), by identity; command thread only.
    std::map<std::wstring, std::wstring> m_boardKeys;
};
