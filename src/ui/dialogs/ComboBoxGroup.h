#pragma once
// C_ComboBoxGroup: the owner-drawn combo boxes of one dialog, answered together. The dialog passes on the messages
// they are drawn by and its theme, and detaches them as it ends; each combo box takes what is its own.
#include "ui/framework/ComboBox.h"

#include <windows.h>

#include <initializer_list>
#include <vector>

class C_ComboBoxGroup {
public:
    explicit C_ComboBoxGroup(std::initializer_list<C_ComboBox*> combos) : m_combos(combos) {}
    C_ComboBoxGroup(const C_ComboBoxGroup&) = delete;
    C_ComboBoxGroup& operator=(const C_ComboBoxGroup&) = delete;

    // True when result is the dialog's answer: WM_MEASUREITEM and WM_DRAWITEM (whether one of them took the
    // item). WM_DPICHANGED is passed to them and left to the dialog as well.
    bool Answer(UINT message, LPARAM lParam, INT_PTR& result);
    void ApplyTheme(bool dark);
    void Detach();

private:
    std::vector<C_ComboBox*> m_combos;
};
