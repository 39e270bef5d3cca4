// The send bar, which sends to the tab in front, and file sends.
#include "ui/window/MainFrame.h"

#include "ui/dialogs/OpenFileDialog.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"

namespace {

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

// Whether the bar is open is the tab's, and is kept for the next start.
void C_MainFrame::ToggleSendBar() {
    C_SessionTab* front = Front();
    const bool open = !m_sendBar.IsVisible();
    if (front)
        front->Session().SetSendBarOpen(open);
    m_options.flags = open ? m_options.flags | FLAG_SEND_BAR : m_options.flags & ~FLAG_SEND_BAR;
    ShowSendBarOfFront();
    if (open)
        m_sendBar.FocusField();
    else if (front)
        front->Focus();
    SaveChangedSettings();
}

// The bar follows the tab in front: open or not, and the file send that tab has under way.
void C_MainFrame::ShowSendBarOfFront() {
    C_SessionTab* front = Front();
    const bool open = front ? front->Session().SendBarOpen() : false;
    m_sendBar.Show(open);
    if (front) {
        const FileSendProgress progress = front->Session().Connection().GetFileSendProgress();
        if (front->Session().FileSendNumber() != 0 && progress.number == front->Session().FileSendNumber())
            m_sendBar.ShowFileProgress(progress, front->Session().FileSendName().c_str());
        else
            m_sendBar.HideSecondRow();
    }
    RefreshToolbarStates();
    LayoutSessionArea();
}

bool C_MainFrame::SendLine(const std::string& bytes) {
    C_SessionTab* front = Front();
    if (!front || !front->Session().IsOpen())
        return false;
    front->Session().Connection().SendBytes(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    return true;
}

void C_MainFrame::CancelFileSend() {
    if (C_SessionTab* front = Front())
        front->Session().Connection().CancelFileSend();
}

void C_MainFrame::LeaveSendBar() {
    if (C_SessionTab* front = Front())
        front->Focus();
}

void C_MainFrame::ChooseFileToSend() {
    if (!m_sendBar.IsVisible())
        ToggleSendBar();
    C_SessionTab* front = Front();
    if (!front || m_sendBar.IsFileSendRunning())
        return;
    C_String filter, title, path;
    m_strings.LoadString(IDS_SEND_FILE_FILTER, filter);
    m_strings.LoadString(IDS_SEND_FILE_TITLE, title);
    if (!OpenFileDialog::Ask(GetWindow(), filter.c_str(), title.c_str(), path))
        return;
    // The dialog may have let other tabs come forward or go meanwhile.
    front = Front();
    if (!front || !front->Session().IsOpen()) {
        C_String message;
        m_strings.LoadString(IDS_NOT_SENT_NO_PORT, message);
        m_sendBar.ShowMessage(message.c_str());
        return;
    }
    C_PortSession& session = front->Session();
    session.NoteFileSend(session.Connection().SendFile(path.c_str()), FileNameOf(path));
    m_sendBar.ShowFileWaiting(session.FileSendName().c_str(), FileSize(path.c_str()));
}

// A send queued behind others keeps showing that it waits until its own progress comes.
void C_MainFrame::OnFileSendNotice(C_SessionTab& tab) {
    C_PortSession& session = tab.Session();
    const FileSendProgress progress = session.Connection().GetFileSendProgress();
    if (session.FileSendNumber() != 0 && progress.number == session.FileSendNumber())
        m_sendBar.ShowFileProgress(progress, session.FileSendName().c_str());
}
