#include "ui/dialogs/ComboBoxGroup.h"

#include "platform/window/DarkMode.h"
#include "ui/framework/Dialog.h"

bool C_ComboBoxGroup::Answer(UINT message, LPARAM lParam, INT_PTR& result) {
    result = FALSE;
    switch (message) {
    case WM_MEASUREITEM: {
        auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        for (C_ComboBox* combo : m_combos)
            if (combo->OnMeasureItem(item)) {
                result = TRUE;
                break;
            }
        return true;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (C_ComboBox* combo : m_combos)
            if (combo->OnDrawItem(item)) {
                result = TRUE;
                break;
            }
        return true;
    }
    case C_Dialog::kDpiChangedMessage:
        for (C_ComboBox* combo : m_combos)
            combo->OnDpiChanged();
        return false;
    default:
        return false;
    }
}

void C_ComboBoxGroup::ApplyTheme(bool dark) {
    for (C_ComboBox* combo : m_combos) {
        combo->SetDarkMode(dark);
        if (combo->GetWindow())
            DarkMode::ApplyComboBoxTheme(combo->GetWindow(), dark);
    }
}

void C_ComboBoxGroup::Detach() {
    for (C_ComboBox* combo : m_combos)
        combo->Detach();
}
