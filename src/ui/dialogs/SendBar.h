#pragma once
// C_SendBar: the one-line field under the terminal view from which lines are sent. Enter sends the field's text
// with the line end Enter sends (hex bytes go as they are, without one) and leaves the text selected, so Enter
// again repeats it and typing replaces it. Up and Down walk the history; the Hex box switches the field between
// escaped text and hex bytes and turns what it holds into the other form. A fault in the text colours it red as
// it is typed; Enter then selects the fault, says what it is and sends nothing.
//
// A second row appears for a file send (its progress bar, bytes sent of the total, and Stop) and for the reason
// a line was not sent; Esc stops a running file send, then hides the row, then gives the focus back to the view.
// The bar is a child dialog of the main window, which places it and does the sending.
#include "connection/manager/Connection.h"
#include "platform/window/ControlSubclass.h"
#include "platform/window/LayoutManager.h"
#include "ui/dialogs/SendHistory.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"

#include <string>

namespace SendText {
struct Error;
}

// What the bar asks of the main window.
class C_SendBarHost {
public:
    // The bytes of a line, its line end included. False when no port is open to take them.
    virtual bool SendLine(const std::string& bytes) = 0;
    virtual void ChooseFileToSend() = 0;
    virtual void CancelFileSend() = 0;
    // Ctrl+Shift+S in the bar closes it.
    virtual void ToggleSendBar() = 0;
    // Esc with nothing left to stop or hide.
    virtual void LeaveSendBar() = 0;
    // The second row came or went: the bar's height changed.
    virtual void SendBarResized() = 0;

protected:
    ~C_SendBarHost() = default;
};

class C_SendBar : public C_Dialog {
public:
    static constexpr COLORREF kProblemColour = RGB(0xD0, 0x10, 0x10);
    static constexpr int kRowHeight = 14; // dialog units
    static constexpr int kRowGap = 4;
    static constexpr int kProgressRange = 1000;

    explicit C_SendBar(C_SendBarHost& host) : m_host(host), m_fieldKeys(*this) {}

    // Creates the bar hidden, as parent's child with controlId.
    bool Create(HINSTANCE instance, HWND parent, UINT controlId);
    void Show(bool visible);
    // Shown, as the bar's own style says: while the main window starts, it is not visible itself yet.
    bool IsVisible() const { return GetWindow() && (GetWindowLongPtrW(GetWindow(), GWL_STYLE) & WS_VISIBLE); }
    bool HasFocus() const;
    void FocusField();
    // Pixels: one row, or two while the second row shows.
    int Height() const;

    // What Enter adds to a line of text: "\r", "\n" or "\r\n"; a static text.
    void SetEnterText(const wchar_t* text) { m_enterText = text; }
    void SetMode(SendMode mode);
    SendMode Mode() const { return m_mode; }
    C_SendHistory& History() { return m_history; }

    // A file send as the connection reports it, under the file's name.
    void ShowFileProgress(const FileSendProgress& progress, const wchar_t* name);
    // A file send that waits behind another.
    void ShowFileWaiting(const wchar_t* name, uint64_t size);
    // Why a line or a file was not sent.
    void ShowMessage(const wchar_t* text);
    bool IsFileSendRunning() const { return m_row == Row::FileRunning; }
    // Back to the one row: another tab came to the front, with no file send of its own to show.
    void HideSecondRow() { SetRow(Row::Hidden); }
    // Esc: a running file send stops; else the second row goes; else the focus goes back to the view.
    void OnEscape();

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnClose() override { return TRUE; } // a child bar is hidden, never closed

private:
    enum class Row { Hidden, Message, FileRunning, FileEnded };

    // The field's keys: the dialog manager would take Enter, Esc and the arrows for itself.
    class FieldKeys final : public C_ControlSubclass {
    public:
        explicit FieldKeys(C_SendBar& bar) : m_bar(bar) {}

    private:
        LRESULT OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
        bool OnKeyDown(WPARAM key);
        C_SendBar& m_bar;
    };

    void SetTexts();
    void RegisterLayout();
    void SendField();
    bool ParseField(std::string& bytes, SendText::Error& error);
    void ShowProblem(const SendText::Error& error);
    void OnFieldChanged();
    void OnModeClicked();
    void Recall(bool older);
    void OnStop();
    void SetRow(Row row);
    HBRUSH FieldColours(HDC dc, HWND control);
    std::wstring FieldText() const;

    C_SendBarHost& m_host;
    FieldKeys m_fieldKeys;
    C_LayoutManager m_layout;
    C_StringTable m_strings;
    C_SendHistory m_history;
    const wchar_t* m_enterText = L"\r";
    SendMode m_mode = SendMode::Text;
    Row m_row = Row::Hidden;
    bool m_fieldFaulty = false;
};
