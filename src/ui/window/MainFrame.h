#pragma once
// C_MainFrame: the program's main window, a frame that holds port sessions. One static instance is at once the
// main window (a modal dialog) and the owner of what all sessions share: the settings and options, the port
// scanner behind the port buttons, the toolbar, the filter field, the send bar, the search bar, the plot window
// and the smaller dialogs. Each open target is a session (C_PortSession) shown in a tab (C_SessionTab); the
// toolbar's commands, the filter and the bars act on the tab in front.
//
// Sessions tell the frame what happened through C_SessionHost, always on the window's thread and with their id,
// so a session closed meanwhile is simply not found. The entry point only runs the frame; everything else
// happens in its handlers and in the sessions' threads.
//
// Members are constructed in the order below and destroyed in reverse. The tabs live from their opening to the
// end of OnEnd; the scanner from OnInitDialog to the end of OnEnd, after the last tab has gone.
// The socket headers first (through the session's connection): they must precede the system's general header.
#include "ui/tabs/SessionTab.h"

#include "foundation/settings/Options.h"
#include "foundation/settings/Settings.h"
#include "platform/window/BandContainer.h"
#include "platform/window/EditIcon.h"
#include "platform/window/LayoutManager.h"
#include "platform/window/SizeGrip.h"
#include "platform/window/StatusBalloon.h"
#include "platform/window/Toolbar.h"
#include "platform/window/WebLink.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/PasteQuestion.h"
#include "ui/dialogs/PortLineDialog.h"
#include "ui/dialogs/SearchBar.h"
#include "ui/dialogs/SendBar.h"
#include "ui/dialogs/TagDialog.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"
#include "ui/plot/PlotWindow.h"
#include "ui/window/ServiceHooks.h"
#include "ui/window/StartOptions.h"
#include "ui/window/ToolbarButtons.h"
#include "ui/window/ToolbarKeys.h"

#include <memory>
#include <string>
#include <vector>

class C_MainFrame final : public C_Dialog,
                          private C_SessionHost,
                          private C_SessionTabHost,
                          private C_ConnectionOptions,
                          private C_PortScanHost,
                          private C_OptionsHost,
                          private C_SearchHost,
                          private C_PlotHost,
                          private C_SendBarHost {
public:
    static constexpr const wchar_t* kReportPath = L"/services/quarle/report.php";
    static constexpr const wchar_t* kWebText = L"www.brannick.example";
    static constexpr const wchar_t* kWebAddress = L"https://www.brannick.example/velto";
    static constexpr const wchar_t* kTitleSeparator = L" - ";
    // The toolbar's icons at 96 DPI, and the room beside the web link's text.
    static constexpr int kToolbarImageSize = 24;
    static constexpr int kWebLinkPadding = 20;
    // Dialog units.
    static constexpr int kMinimumWidth = 200;
    static constexpr int kMinimumHeight = 150;
    static constexpr int kFilterGap = 4; // between the view (or the send bar) and the filter field, and the two

    explicit C_MainFrame(C_ServiceHooks& services);
    ~C_MainFrame() override;

    // Runs the main window until it is closed; its result, or -1 when it could not be created.
    INT_PTR Run(HINSTANCE instance);

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    friend struct ToolbarButtons; // its rows name the handlers below

    // Start and end (MainFrame.cpp).
    void ReadSettings(const StartOptions& start);
    void CreateBandsAndLink();
    void BuildToolbar();
    void AttachFilterField();
    void CreateSendBar();
    void SaveChangedSettings();

    // Messages (MainFrame.cpp).
    INT_PTR Answer(LRESULT result);
    bool OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void OnSize(WPARAM kind);
    void OnPaint();
    INT_PTR OnNotify(const NMHDR* header);
    INT_PTR OnHitTest(LPARAM screenPoint);
    void OnTimer(UINT_PTR timer);
    void OnDeviceChange(WPARAM event, LPARAM data);
    void OnDpiChanged();
    void SetTitleText(const wchar_t* suffix);
    void LayoutSessionArea();

    // The tabs and the sessions' reports (MainFrameSessions.cpp).
    C_SessionTab* Front() const;
    C_SessionTab* TabOf(uint32_t id) const;
    C_SessionTab* TabOfTarget(const wchar_t* target) const;
    C_SessionTab* NewTab();
    void BringForward(C_SessionTab& tab);
    void ShowFront();
    void OpenPort(const wchar_t* target);
    void ClosePort(C_SessionTab& tab);
    void ReopenLostPorts();
    void OpenStartPorts();
    void StopAllTabs();
    void RememberFrontPort();
    // C_SessionHost
    void OnSessionEvent(uint32_t session, SessionEvent event) override;
    void ShowSessionStatus(uint32_t session, const wchar_t* title, const wchar_t* name) override;
    void LoadText(unsigned id, C_String& text) override { m_strings.LoadString(id, text); }
    // C_SessionTabHost (ToggleSearchBar, ToggleSendBar, ChooseFileToSend and ToggleHexView below)
    void PasteTo(C_SessionTab& tab, const wchar_t* text) override;

    // The toolbar's commands (MainFrameCommands.cpp).
    void RunOptionsDialog();
    void Save();
    void SaveHexDump(C_SessionTab& tab);
    void ToggleLog();
    void Clear();
    void ToggleHexView() override;
    void ToggleSearchBar() override;
    void TogglePlot();
    BYTE SendButtonState() const;
    BYTE HexButtonState() const;
    BYTE PlotButtonState() const;
    BYTE LogButtonState() const;
    void RefreshToolbarStates();
    void UpdateLogButton();
    TextFileEncoding TextFilesEncoding() const;
    void OnFilterField(WORD notification);
    void ApplyFilterFromField();
    void OfferSearch();
    void OnActivityTimer();
    // C_OptionsHost
    C_PersistedOptions& GetOptions() override { return m_options; }
    void ApplyDisplayOptions() override;
    void RefreshPorts() override;
    // C_SearchHost
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start) override;
    void SetSearchButtonState(SearchButtonState state) override;
    // C_PlotHost
    void SetPlotButtonState(bool open) override;
    bool AskPlotSavePath(HWND owner, PlotFileKind kind, C_String& path) override;

    // Port buttons and the status balloon (MainFramePorts.cpp).
    void OnPortButton(WORD id);
    bool PortNameAt(uint32_t index, C_String& name);
    void RebuildPortButtons(WPARAM reopen);
    void ShowStatus(const wchar_t* title, const wchar_t* text, const wchar_t* port);
    bool ShowStatusAt(int item, const wchar_t* title, const wchar_t* text, UINT milliseconds);
    // A failed save or log, at its button; kept for the user's return when the window is not in front.
    void ShowFailure(WORD command, UINT title, const wchar_t* path);
    void ShowPendingFailure();
    int BalloonItem(const wchar_t* port);
    void UpdateToolbarWidth();
    void FillPortTip(NMTBGETINFOTIPW& tip);

    // The port menu and the open port's input lines (MainFramePortMenu.cpp).
    INT_PTR OnPortRightClick(const NMHDR* header);
    void OnContextMenu(HWND window, LPARAM screenPoint);
    void ShowPortMenu(uint32_t index, POINT screen);
    void RunPortMenuCommand(WORD command, uint32_t index, C_SessionTab* tab, const LineState& line);
    void EditPortLine(uint32_t index);
    void EditPortTag(uint32_t index);
    void AppendInputLines(const PortEntry& entry, C_String& tip);

    // The send bar, file sends and pasting (MainFrameSending.cpp).
    void ToggleSendBar() override;
    void ShowSendBarOfFront();
    void PlaceSendBar();
    void ChooseFileToSend() override;
    void OnFileSendNotice(C_SessionTab& tab);
    // C_SendBarHost (ToggleSendBar and ChooseFileToSend above)
    bool SendLine(const std::string& bytes) override;
    void CancelFileSend() override;
    void LeaveSendBar() override;
    void SendBarResized() override { LayoutSessionArea(); }

    // C_ConnectionOptions: every session's connection, on its command thread.
    uint32_t GetCharSendDelay() override { return m_options.charSendDelay; }
    uint32_t GetLineDelay() override { return m_options.lineDelay; }
    SerialLineSettings GetSerialLineSettings(const wchar_t* port) override;
    void RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) override;
    void GetCommandLinePort(C_String& port) override { port.Empty(); }
    void LoadTag(const wchar_t* key, C_String& tag) override;
    void NoteBoardListed(const wchar_t* identity, const wchar_t* devicePath, C_String& former) override;
    // C_PortScanHost (LoadTag, NoteBoardListed and LoadText above)
    HWND PortsWindow() override { return GetWindow(); }
    bool CommandLinePort(uint32_t index, C_String& port) override;

    C_BandContainer m_bands;                      // the rebar holding the toolbar and the web link
    C_WebLink m_webLink;                          //
    C_SizeGrip m_sizeGrip;                        //
    C_ServiceHooks& m_services;                   // the update check and the problem report
    C_LayoutManager m_layout;                     //
    C_OptionsDialog m_optionsDialog;              //
    C_StatusBalloon m_balloon;                    //
    C_EditIcon m_filterIcon;                      // inside the filter field: hidden-line activity, and the clear button
    C_TagDialog m_tagDialog;                      //
    C_PortLineDialog m_portLineDialog;            // a port's own line settings
    C_Settings m_settings;                        //
    C_PersistedOptions m_options;                 // flags, line settings, font and text options, ports, stored filter
    C_StringTable m_strings;                      //
    C_SearchBar m_searchBar{*this};               // open or closed while the window runs; keeps the last search text
    C_SendBar m_sendBar{*this};                   // shown under the tab in front when its session has it open
    C_PasteQuestion m_pasteQuestion;              //
    C_Toolbar m_toolbar;                          //
    C_ToolbarKeys m_toolbarKeys;                  // the toolbar's arrows, Enter and Space while it has the focus
    WORD m_failedCommand = 0;                     // a failure not yet shown (the window was not in front): its button,
    UINT m_failedTitle = 0;                       // its text
    C_String m_failedPath;                        // and its file
    std::vector<std::wstring> m_commandLinePorts; // offered in the port list even when not enumerated
    std::vector<std::wstring> m_startPorts;       // opened once the first scan has listed the ports
    C_String m_baseTitle;                         // "Velto - Serial Terminal [1.0]"

    // The plot shows the series of the tab in front; without one, these empty ones.
    C_PlotData m_noPlotData;
    C_PlotFeed m_noPlotFeed{m_noPlotData};
    C_PlotWindow m_plotWindow{m_noPlotData, m_noPlotFeed, *this};

    // The scanner before the tabs: every session's connection uses it, so it goes after the last of them.
    C_PortScanner m_scanner;
    std::vector<std::unique_ptr<C_SessionTab>> m_tabs; // in tab order
    uint32_t m_front = 0;                              // the id of the tab in front; 0 for none
    uint32_t m_nextId = 1;
};
