#pragma once
// C_MainDialog: the program. One static instance is at once the main window (a modal dialog) and the owner of
// every long-lived object: the settings and options, the connection manager, the toolbar with its port
// buttons, the terminal view and the hex view with its journal, the log file, the filter and the smaller window
// components. The entry point only
// runs it; everything else happens in its handlers and in the connection's threads.
//
// Members are constructed in the order below and destroyed in reverse. The connection lives from the end of
// OnInitDialog to the end of OnEnd; the log file is closed by its destructor, after the connection stopped.
//
// Threads: all handlers run on the user-interface thread. The connection's command thread reaches the window
// through C_ConnectionWindow (each call is sent to this thread and awaited); the reader thread notes hidden
// lines and reads the filter, both under their own locks, records into the journal and the log under theirs, and
// posts a log's write failure.
// The socket headers first (through the connection): they must precede the system's general header.
#include "connection/manager/Connection.h"

#include "foundation/settings/Options.h"
#include "foundation/settings/Settings.h"
#include "platform/window/BandContainer.h"
#include "platform/window/EditIcon.h"
#include "platform/window/LayoutManager.h"
#include "platform/window/SizeGrip.h"
#include "platform/window/StatusBalloon.h"
#include "platform/window/Toolbar.h"
#include "platform/window/WebLink.h"
#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/ReceiveTap.h"
#include "terminal/store/Filter.h"
#include "terminal/export/LogFile.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "terminal/receive/TimeStamp.h"
#include "ui/window/ActivityIndicator.h"
#include "ui/framework/Dialog.h"
#include "ui/hex/HexView.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/PasteQuestion.h"
#include "ui/dialogs/PortLineDialog.h"
#include "ui/dialogs/SearchBar.h"
#include "ui/dialogs/SendBar.h"
#include "ui/window/ServiceHooks.h"
#include "ui/window/ToolbarKeys.h"
#include "ui/framework/StringTable.h"
#include "ui/dialogs/TagDialog.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "ui/plot/PlotWindow.h"
#include "ui/view/TerminalView.h"

#include <atomic>
#include <string>

class C_MainDialog final : public C_Dialog,
                           private C_ConnectionWindow,
                           private C_ConnectionOptions,
                           private C_TerminalViewHost,
                           private C_SendSink,
                           private C_OptionsHost,
                           private C_SearchHost,
                           private C_PlotHost,
                           private C_SendBarHost,
                           private C_LogFailureHost {
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

    explicit C_MainDialog(C_ServiceHooks& services);
    ~C_MainDialog() override;

    // Runs the main window until it is closed; its result, or -1 when it could not be created.
    INT_PTR Run(HINSTANCE instance);

    // The connection's window: the dialog itself (C_ConnectionWindow asks for it by this name too).
    HWND GetWindow() override { return C_Dialog::GetWindow(); }

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

private:
    // OnInitDialog's steps (MainDialog.cpp).
    void ReadSettings(const wchar_t* commandLinePort, uint32_t commandLineBaud);
    void CreateBandsAndLink();
    void CreateView();
    void BuildToolbar();
    void AttachFilterField();
    void RegisterLayout();
    void WireReceivePath();

    // Messages (MainDialog.cpp).
    INT_PTR Answer(LRESULT result);
    void OnSize(WPARAM kind);
    void OnPaint();
    INT_PTR OnNotify(const NMHDR* header);
    INT_PTR OnHitTest(LPARAM screenPoint);
    void OnTimer(UINT_PTR timer);
    void OnDeviceChange(WPARAM event, LPARAM data);
    void OnDpiChanged();
    void SetTitleText(const wchar_t* suffix);

    // Commands (MainDialogCommands.cpp).
    void Save();
    void SaveHexDump();
    void ToggleLog();
    void StopLog();
    void Clear();
    void ToggleHexView() override;
    TextFileEncoding TextFilesEncoding() const;
    void OnPortButton(WORD id);
    void SelectPort(uint32_t index);
    void OnFilterField(WORD notification);
    void ApplyFilterFromField();
    void OfferSearch();
    void OnActivityTimer();
    void NoteActivity() override;
    void LoadText(unsigned id, C_String& text) override;

    // Port buttons and status balloon (MainDialogPorts.cpp).
    void RebuildPortButtons(WPARAM reopen);
    void ShowStatus(const wchar_t* title, const wchar_t* text);
    bool ShowStatusAt(int item, const wchar_t* title, const wchar_t* text, UINT milliseconds);
    // A failed save or log, at its button; kept for the user's return when the window is not in front.
    void ShowFailure(WORD command, UINT title, const wchar_t* path);
    void ShowPendingFailure();
    int BalloonItem();
    void UpdateToolbarWidth();

    // The port menu, its line commands and the open port's input lines (MainDialogPortMenu.cpp).
    INT_PTR OnPortRightClick(const NMHDR* header);
    void OnContextMenu(HWND window, LPARAM screenPoint);
    void ShowPortMenu(uint32_t index, POINT screen);
    void RunPortMenuCommand(WORD command, uint32_t index, const LineState& line);
    void EditPortLine(uint32_t index);
    void AppendInputLines(const PortEntry& entry, C_String& tip);
    void SendBreak() override;

    // The options dialog, the search bar and the tag dialog (MainDialogDialogs.cpp).
    void RunOptionsDialog();
    void ToggleSearchBar() override;
    void EditPortTag(uint32_t index);
    // C_OptionsHost
    C_PersistedOptions& GetOptions() override { return m_options; }
    void ApplyDisplayOptions() override;
    void RefreshPorts() override;
    // C_SearchHost
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start) override;
    void SetSearchButtonState(SearchButtonState state) override;
    // The plot window (MainDialogDialogs.cpp); C_PlotHost.
    void TogglePlot();
    void SetPlotButtonState(bool open) override;
    bool AskPlotSavePath(HWND owner, PlotFileKind kind, C_String& path) override;

    // C_ConnectionWindow (the others above).
    void SetTitleSuffix(const wchar_t* text) override;
    void SetOptionsButtonText(const wchar_t* text) override;
    void SetReopenTimer(bool running) override;

    // The send bar, file sends and pasting (MainDialogSending.cpp).
    void ToggleSendBar() override;
    void PlaceSendBar();
    void ApplySendingOptions();
    void ChooseFileToSend() override;
    void OnFileSendNotice();
    void FileSendChanged() override;
    void SendPastedText(const wchar_t* text) override;
    // C_SendBarHost (ToggleSendBar and ChooseFileToSend above)
    bool SendLine(const std::string& bytes) override;
    void CancelFileSend() override { m_connection.CancelFileSend(); }
    void LeaveSendBar() override { m_view.Focus(); }
    void SendBarResized() override { PlaceSendBar(); }

    // C_ConnectionOptions
    uint32_t GetCharSendDelay() override { return m_options.charSendDelay; }
    uint32_t GetLineDelay() override { return m_options.lineDelay; }
    SerialLineSettings GetSerialLineSettings(const wchar_t* port) override;
    void RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) override;
    void GetCommandLinePort(C_String& port) override { port.Assign(m_commandLinePort); }
    void LoadTag(const wchar_t* key, C_String& tag) override;

    // C_SendSink: keys typed into the view go to the device.
    void SendText(const wchar_t* text) override { m_connection.SendText(text); }

    // C_LogFailureHost: the reader thread, once per failed log.
    void LogWriteFailed(uint32_t session) override;
    void OnLogFailed(uint32_t session);

    C_BandContainer m_bands;           // the rebar holding the toolbar and the web link
    C_WebLink m_webLink;               //
    C_SizeGrip m_sizeGrip;             //
    C_ServiceHooks& m_services;        // the update check and the problem report
    C_LayoutManager m_layout;          //
    C_OptionsDialog m_optionsDialog;   //
    C_StatusBalloon m_balloon;         //
    C_EditIcon m_filterIcon;           // inside the filter field: hidden-line activity, and the clear button
    C_TagDialog m_tagDialog;           //
    C_PortLineDialog m_portLineDialog; // a port's own line settings
    C_Settings m_settings;             //
    C_PersistedOptions m_options;      // flags, line settings, font and text options, ports, stored filter
    // The plot's series and the feed the receive assembly hands the shown text to, on the reader thread.
    C_PlotData m_plotData;
    C_PlotFeed m_plotFeed{m_plotData};

    // The view, then the receive assembly, the journal and the tap, then the connection: the assembly writes into
    // the view's line store and the connection's reader into the tap, which records into the journal (and a raw
    // log) and hands on to the assembly, so each must exist first and outlive the reader.
    C_TerminalView m_view;           // owns the line store the connection's reader fills
    C_ReceiveAssembly m_assembly;    // received bytes become the store's lines; the log and stamps are wired in
    C_ByteJournal m_journal;         // the received bytes as they came, for the hex view
    C_ReceiveTap m_tap;              // what the reader reads: to the journal, a raw log, then the assembly
    C_Connection m_connection;       //
    C_StringTable m_strings;         //
    C_TimeStamps m_stamps;           // made from the text options
    C_SearchBar m_searchBar{*this};  // open or closed while the window runs; keeps the last search text
    C_SendBar m_sendBar{*this};      // made with the view, shown or hidden; keeps its history
    C_PasteQuestion m_pasteQuestion; //
    C_Toolbar m_toolbar;             //
    C_ToolbarKeys m_toolbarKeys;     // the toolbar's arrows, Enter and Space while it has the focus
    C_LogFile m_log;                 //
    C_String m_logPath;              // of the running log, for its failure's message
    C_HexView m_hexView;             // hidden until the Hex button is pressed
    WORD m_failedCommand = 0;        // a failure not yet shown (the window was not in front): its button,
    UINT m_failedTitle = 0;          // its text
    C_String m_failedPath;           // and its file
    C_FilterText m_filter;           // the applied filter text, under its own lock
    C_String m_commandLinePort;      //
    C_ActivityIndicator m_activity;  // under its own lock
    C_String m_baseTitle;            // "Velto - Serial Terminal [1.0]"
    // The file send the bar follows: its number as the connection gave it, and the file's name.
    uint32_t m_fileSendNumber = 0;
    C_String m_fileSendName;
    std::atomic<bool> m_fileNoticePending{false}; // a WM_MAIN_FILE_SEND is queued

    // Open or closed while the window runs; watches Ctrl+Shift+P for as long as the main window lives.
    C_PlotWindow m_plotWindow{m_plotData, m_plotFeed, *this};
};
