#include "platform/window/DialogTemplateWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

INT_PTR CALLBACK Procedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}

} // namespace

// The system builds the dialog from the written template: caption, font, and each control in its class, place
// and window order.
TEST(DialogTemplateWriter, TheSystemCreatesWhatWasWritten) {
    using Writer = C_DialogTemplateWriter;
    Writer writer;
    ASSERT_TRUE(writer.Begin(DS_SETFONT | WS_POPUP | WS_CAPTION, {0, 0, 200, 100}, L"Caption", 8, L"MS Sans Serif"));
    ASSERT_TRUE(writer.AddControl(Writer::CLASS_STATIC, 11, WS_VISIBLE | SS_LEFT, {10, 10, 100, 8}, L"odd"));
    ASSERT_TRUE(writer.AddControl(Writer::CLASS_EDIT, 12, WS_VISIBLE | WS_BORDER, {10, 30, 100, 14}, L""));
    ASSERT_TRUE(writer.AddControl(Writer::CLASS_BUTTON, 13, WS_VISIBLE, {10, 50, 60, 14}, L"Press"));
    ASSERT_TRUE(
        writer.AddControl(Writer::CLASS_STATIC, Writer::kNoId, WS_VISIBLE | SS_WHITERECT, {0, 0, 200, 100}, L""));
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), writer.Get(), nullptr, Procedure, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(dialog), L"Caption");
    HWND first = GetWindow(dialog, GW_CHILD);
    EXPECT_EQ(GetDlgCtrlID(first), 11);
    EXPECT_EQ(_wcsicmp(ClassOf(first).c_str(), L"Static"), 0);
    EXPECT_EQ(TextOf(first), L"odd");
    HWND edit = GetWindow(first, GW_HWNDNEXT);
    EXPECT_EQ(GetDlgCtrlID(edit), 12);
    EXPECT_EQ(_wcsicmp(ClassOf(edit).c_str(), L"Edit"), 0);
    HWND button = GetWindow(edit, GW_HWNDNEXT);
    EXPECT_EQ(TextOf(button), L"Press");
    EXPECT_EQ(GetDlgCtrlID(GetWindow(button, GW_HWNDNEXT)), 0xFFFF);
    RECT expected = {10, 30, 110, 44}, actual;
    MapDialogRect(dialog, &expected);
    GetWindowRect(edit, &actual);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.bottom, expected.bottom);
    DestroyWindow(dialog);
}

TEST(DialogTemplateWriter, ATemplateThatDoesNotFitFailsWhole) {
    C_DialogTemplateWriter writer;
    EXPECT_EQ(writer.Get(), nullptr) << "nothing begun";
    ASSERT_TRUE(writer.Begin(WS_POPUP, {0, 0, 10, 10}, L"", 0, nullptr));
    std::wstring longText(1000, L'x');
    bool added = true;
    for (int i = 0; i < 10 && added; ++i)
        added = writer.AddControl(C_DialogTemplateWriter::CLASS_STATIC, WORD(i), 0, {0, 0, 1, 1}, longText.c_str());
    EXPECT_FALSE(added);
    EXPECT_EQ(writer.Get(), nullptr);
    EXPECT_FALSE(writer.AddControl(C_DialogTemplateWriter::CLASS_STATIC, 1, 0, {0, 0, 1, 1}, L""));
}
