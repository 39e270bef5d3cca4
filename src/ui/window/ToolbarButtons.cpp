// The toolbar's fixed buttons, left to right. A row of zeros is a separator.
// The frame (and through it the socket headers) first: they must precede the system's general header.
#include "ui/window/MainFrame.h"

#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/ToolbarButtons.h"

namespace {

using F = C_MainFrame;
constexpr auto kPlain = C_Toolbar::BUTTON_PLAIN;
constexpr auto kCheck = C_Toolbar::BUTTON_CHECK;
constexpr ToolbarButton kSeparator{0, 0, 0, kPlain, nullptr, nullptr};

} // namespace

const ToolbarButton ToolbarButtons::kRows[] = {
    {CMD_OPTIONS, IDI_OPTIONS, IDS_OPTIONS, kPlain, &F::RunOptionsDialog, nullptr},
    {CMD_SEARCH, IDI_SEARCH, IDS_SEARCH, kCheck, &F::ToggleSearchBar, nullptr},
    {CMD_SEND, IDI_SEND, IDS_SEND, kCheck, &F::ToggleSendBar, &F::SendButtonState},
    {CMD_HEX, IDI_HEX, IDS_HEX, kCheck, &F::ToggleHexView, &F::HexButtonState},
    {CMD_PLOT, IDI_PLOT, IDS_PLOT, kCheck, &F::TogglePlot, &F::PlotButtonState},
    kSeparator,
    {CMD_CLEAR, IDI_CLEAR, IDS_CLEAR, kPlain, &F::Clear, nullptr},
    kSeparator,
    {CMD_SAVE, IDI_SAVE, IDS_SAVE, kPlain, &F::Save, nullptr},
    {CMD_LOG, IDI_LOG, IDS_WRITE_LOG, kPlain, &F::ToggleLog, &F::LogButtonState},
    kSeparator,
};

const size_t ToolbarButtons::kCount = sizeof kRows / sizeof kRows[0];

const ToolbarButton* ToolbarButtons::Find(WORD command) {
    for (const ToolbarButton& row : kRows)
        if (command != 0 && row.command == command)
            return &row;
    return nullptr;
}

int ToolbarButtons::ImageOf(const ToolbarButton& row) {
    int image = 0;
    for (const ToolbarButton& other : kRows) {
        if (&other == &row)
            return image;
        if (other.command != 0)
            ++image;
    }
    return 0;
}

int ToolbarButtons::ImageCount() {
    return ImageOf(kRows[kCount - 1]) + (kRows[kCount - 1].command != 0 ? 1 : 0);
}
