#pragma once
// What a view does with a key once TerminalKeys has named the action. The terminal view and the hex view share it,
// so a key acts alike in both: text to the device, the large-paste question, Ctrl+Break, and the host's bars and
// views. Each view brings only its selection.
#include "ui/view/TerminalKeys.h"

#include <windows.h>

class C_SendSink;
class C_TerminalViewHost;

class C_KeySelection {
public:
    virtual bool HasSelection() = 0;
    // Copies the selection to the clipboard as text and ends it.
    virtual void CopySelection() = 0;

protected:
    ~C_KeySelection() = default;
};

struct ViewKeyTargets {
    HWND window;               // owns the clipboard while it is read
    C_SendSink* sink;          // may be null: nothing is sent
    C_TerminalViewHost* host;  // may be null: the host's actions do nothing
    C_KeySelection& selection; //
};

namespace ViewKeys {

// True when the key was handled; false leaves it to the default window procedure.
bool Perform(const TerminalKeys::Result& key, const ViewKeyTargets& targets);

} // namespace ViewKeys
