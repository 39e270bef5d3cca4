#include "ui/view/ViewKeys.h"

#include "platform/system/Clipboard.h"
#include "ui/view/TerminalView.h"

#include <string>

namespace {

void Send(C_SendSink* sink, const wchar_t* text) {
    if (sink && text && *text)
        sink->SendText(text);
}

// The clipboard's text goes to the sink as a paste, which asks before a large one goes out. False when the
// clipboard holds no text.
bool PasteClipboard(const ViewKeyTargets& targets) {
    std::wstring text;
    if (!Clipboard::GetText(targets.window, text) || text.empty())
        return false;
    if (targets.sink)
        targets.sink->SendPastedText(text.c_str());
    return true;
}

bool PerformForHost(TerminalKeys::Action action, C_TerminalViewHost& host) {
    switch (action) {
    case TerminalKeys::Action::ToggleSearchBar:
        host.ToggleSearchBar();
        return true;
    case TerminalKeys::Action::ToggleSendBar:
        host.ToggleSendBar();
        return true;
    case TerminalKeys::Action::SendFile:
        host.ChooseFileToSend();
        return true;
    case TerminalKeys::Action::ToggleHexView:
        host.ToggleHexView();
        return true;
    default:
        return false;
    }
}

} // namespace

bool ViewKeys::Perform(const TerminalKeys::Result& key, const ViewKeyTargets& targets) {
    switch (key.action) {
    case TerminalKeys::Action::Default:
        return false;
    case TerminalKeys::Action::Nothing:
        return true;
    case TerminalKeys::Action::Send:
        Send(targets.sink, key.text);
        return true;
    case TerminalKeys::Action::CopyOrSend:
        if (targets.selection.HasSelection())
            targets.selection.CopySelection();
        else
            Send(targets.sink, key.text);
        return true;
    case TerminalKeys::Action::PasteOrSend:
        if (!PasteClipboard(targets))
            Send(targets.sink, key.text);
        return true;
    case TerminalKeys::Action::Paste:
        PasteClipboard(targets);
        return true;
    case TerminalKeys::Action::SendBreak:
        if (targets.sink)
            targets.sink->SendBreak();
        return true;
    default:
        if (targets.host)
            PerformForHost(key.action, *targets.host);
        return true;
    }
}
