// The send bar, file sends and the paste guard, as the main window runs them.
#include "ui/window/MainDialog.h"

#include "platform/window/Dpi.h"
#include "ui/framework/NumberText.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/OpenFileDialog.h"
#include "ui/window/PasteGuard.h"

#include <commctrl.h>

namespace {

RECT ChildRect(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

const wchar_t* FileNameOf(const C_String& path) {
    const wchar_t* name = path.c_str();
    for (const wchar_t* at = name; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    return name;
}

uint64_t FileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

} // namespace

// --- the send bar ------------------------------------------------------------------------------------------

void C_MainDialog::ToggleSendBar() {
    const bool open = !m_sendBar.IsVisible();
    m_sendBar.Show(open);
    m_options.flags = open ? m_options.flags | FLAG_SEND_BAR : m_options.flags & ~FLAG_SEND_BAR;
    // A check button checks itself when clicked; Ctrl+Shift+S does not click it.
    m_toolbar.SetState(CMD_SEND, BYTE(TBSTATE_ENABLED | (open ? TBSTATE_CHECKED : 0)));
    PlaceSendBar();
    if (open)
        m_sendBar.FocusField();
    else
        m_view.Focus();
}

// The bar takes its height from the view's bottom, above the filter field and as wide; hidden, the view reaches
// the field again. The layout then takes these places as its reference.
void C_MainDialog::PlaceSendBar() {
    HWND view = m_view.GetWindow();
    HWND bar = m_sendBar.GetWindow();
    if (!view || !bar)
        return;
    const RECT viewRect = ChildRect(GetWindow(), view);
    const RECT filter = ChildRect(GetWindow(), GetItem(IDC_FILTER));
    RECT gap = {0, 0, 0, kFilterGap};
    MapDialogRect(GetWindow(), &gap);
    int viewBottom = filter.top - gap.bottom;
    if (m_sendBar.IsVisible()) {
        const int barTop = viewBottom - m_sendBar.Height();
        SetWindowPos(bar, view, filter.left, barTop, filter.right - filter.left, viewBottom - barTop, SWP_NOACTIVATE);
        viewBottom = barTop - gap.bottom;
    }
    const int height = viewBottom > viewRect.top ? viewBottom - viewRect.top : 0;
    SetWindowPos(view, nullptr, viewRect.left, viewRect.top, viewRect.right - viewRect.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    m_layout.Remeasure();
}

// At start and after the options dialog's OK.
void C_MainDialog::ApplySendingOptions() {
    const wchar_t* enter = LineEndText(m_options.enterSends);
    m_view.SetEnterText(enter);
    m_hexView.SetEnterText(enter);
    m_sendBar.SetEnterText(enter);
    m_assembly.SetLocalEcho((m_options.flags & FLAG_LOCAL_ECHO) != 0);
}

bool C_MainDialog::SendLine(const std::string& bytes) {
    if (!m_connection.IsOpen())
        return false;
    m_connection.SendBytes(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    return true;
}

// --- file sends ------------------------------------------------------------------------------------------

void C_MainDialog::ChooseFileToSend() {
    if (!m_sendBar.IsVisible())
        ToggleSendBar();
    if (m_sendBar.IsFileSendRunning())
        return;
    C_String filter, title, path;
    m_strings.LoadString(IDS_SEND_FILE_FILTER, filter);
    m_strings.LoadString(IDS_SEND_FILE_TITLE, title);
    if (!OpenFileDialog::Ask(GetWindow(), filter.c_str(), title.c_str(), path))
        return;
    if (!m_connection.IsOpen()) {
        C_String message;
        m_strings.LoadString(IDS_NOT_SENT_NO_PORT, message);
        m_sendBar.ShowMessage(message.c_str());
        return;
    }
    m_fileSendName.Assign(FileNameOf(path));
    m_fileSendNumber = m_connection.SendFile(path.c_str());
    m_sendBar.ShowFileWaiting(m_fileSendName.c_str(), FileSize(path.c_str()));
}

// The command thread; only the window's thread may touch the bar.
void C_MainDialog::FileSendChanged() {
    if (!m_fileNoticePending.exchange(true))
        PostMessageW(GetWindow(), WM_MAIN_FILE_SEND, 0, 0);
}

// A send queued behind others keeps showing that it waits until its own progress comes.
void C_MainDialog::OnFileSendNotice() {
    m_fileNoticePending = false;
    const FileSendProgress progress = m_connection.GetFileSendProgress();
    if (m_fileSendNumber != 0 && progress.number == m_fileSendNumber)
        m_sendBar.ShowFileProgress(progress, m_fileSendName.c_str());
}

// --- pasting ---------------------------------------------------------------------------------------------

// A paste while no port is open goes nowhere, as typed keys do, so it asks nothing either.
void C_MainDialog::SendPastedText(const wchar_t* text) {
    const PasteGuard::Size size = PasteGuard::Measure(text);
    if (!(m_options.flags & FLAG_PASTE_UNASKED) && PasteGuard::NeedsQuestion(size) && m_connection.IsOpen()) {
        C_String port, lines, bytes, question;
        if (!m_connection.PortDisplayName(m_options.serialPort.c_str(), port) || port.IsEmpty())
            port.Assign(m_options.serialPort);
        NumberText::FormatCount(size.lines, lines);
        NumberText::FormatCount(size.bytes, bytes);
        if (size.lines > 1)
            question.Format(m_strings.LoadString(IDS_PASTE_QUESTION), lines.c_str(), bytes.c_str(), port.c_str());
        else
            question.Format(m_strings.LoadString(IDS_PASTE_QUESTION_ONE_LINE), bytes.c_str(), port.c_str());
        const C_PasteQuestion::Answer answer = m_pasteQuestion.Ask(GetInstance(), GetWindow(), question.c_str());
        if (answer == C_PasteQuestion::Answer::No)
            return;
        if (answer == C_PasteQuestion::Answer::YesAndDontAskAgain)
            m_options.flags |= FLAG_PASTE_UNASKED;
    }
    m_connection.SendText(text);
}
