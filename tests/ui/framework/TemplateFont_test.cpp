#include "ui/framework/DialogTemplate.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/TemplateFont.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

class FakeCatalog : public I_FontCatalog {
public:
    FakeCatalog(std::initializer_list<const wchar_t*> faces) : m_faces(faces.begin(), faces.end()) {}
    bool IsInstalled(const wchar_t* face) const override { return m_faces.count(face) != 0; }

private:
    std::set<std::wstring> m_faces;
};

LOGFONTW MessageFont(const wchar_t* face, LONG height) {
    LOGFONTW font = {};
    font.lfHeight = height;
    wcscpy(font.lfFaceName, face);
    return font;
}

struct Choice {
    bool replaced;
    std::wstring face;
    int points;
};

Choice Choose(const wchar_t* templateFace, const LOGFONTW& message, bool preferShellDlg2, const FakeCatalog& fonts,
              int dpi = 96) {
    TemplateFont font = {};
    bool replaced = ChooseTemplateFont(templateFace, message, dpi, preferShellDlg2, fonts, font);
    return {replaced, replaced ? font.face : L"", replaced ? font.pointSize : 0};
}

const FakeCatalog kModernSystem = {L"Segoe UI", L"Tahoma", L"MS Shell Dlg 2", L"MS Shell Dlg"};

TEST(TemplateFontTest, OldTemplateFacesTakeTheMessageFont) {
    Choice choice = Choose(L"MS Shell Dlg", MessageFont(L"Segoe UI", -12), false, kModernSystem);
    EXPECT_TRUE(choice.replaced);
    EXPECT_EQ(choice.face, L"Segoe UI");
    EXPECT_EQ(choice.points, 9);
    // The height is in pixels of the screen: 15 pixels at 120 DPI are 9 points as well.
    EXPECT_EQ(Choose(L"MS Sans Serif", MessageFont(L"Segoe UI", -15), false, kModernSystem, 120).points, 9);
    EXPECT_EQ(Choose(L"System", MessageFont(L"Tahoma", -11), false, kModernSystem).face, L"Tahoma");
}

TEST(TemplateFontTest, ShellDialog2IsPreferredOverSegoeUiOnRequest) {
    Choice choice = Choose(L"MS Shell Dlg", MessageFont(L"Segoe UI", -12), true, kModernSystem);
    EXPECT_EQ(choice.face, L"MS Shell Dlg 2");
    EXPECT_EQ(choice.points, kShellDialogPointSize);
    // Only Segoe UI is given up for it.
    EXPECT_EQ(Choose(L"MS Shell Dlg", MessageFont(L"Tahoma", -11), true, kModernSystem).face, L"Tahoma");
}

TEST(TemplateFontTest, MissingMessageFaceFallsBackToShellDialog) {
    FakeCatalog noSegoe = {L"MS Shell Dlg 2", L"MS Shell Dlg"};
    EXPECT_EQ(Choose(L"MS Shell Dlg", MessageFont(L"Segoe UI", -12), false, noSegoe).face, L"MS Shell Dlg 2");
    FakeCatalog oldest = {L"MS Shell Dlg"};
    Choice choice = Choose(L"MS Shell Dlg", MessageFont(L"Segoe UI", -12), false, oldest);
    EXPECT_EQ(choice.face, L"MS Shell Dlg");
    EXPECT_EQ(choice.points, kShellDialogPointSize);
}

TEST(TemplateFontTest, OtherFacesAreLeftAlone) {
    EXPECT_FALSE(Choose(L"Courier New", MessageFont(L"Segoe UI", -12), false, kModernSystem).replaced);
    EXPECT_FALSE(Choose(L"MS Shell Dlg", MessageFont(L"Arial", -12), false, kModernSystem).replaced);
    EXPECT_FALSE(Choose(nullptr, MessageFont(L"Segoe UI", -12), false, kModernSystem).replaced);
}

std::vector<BYTE> TemplateBytes(UINT id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    return std::vector<BYTE>(data, data + SizeofResource(module, resource));
}

std::wstring FontFaceOf(HWND window) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

INT_PTR CALLBACK PlainProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST(DialogTemplateCopyTest, LayoutOfTheOptionsTemplate) {
    std::vector<BYTE> bytes = TemplateBytes(IDD_OPTIONS);
    DialogTemplateLayout layout;
    ASSERT_TRUE(ReadDialogTemplateLayout(bytes.data(), bytes.size(), layout));
    EXPECT_TRUE(layout.extended);
    EXPECT_TRUE(layout.hasFont);
    EXPECT_EQ(layout.itemsAt % 4, 0u);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(bytes.data() + layout.faceAt), L"MS Shell Dlg");
    WORD points;
    memcpy(&points, bytes.data() + layout.pointSizeAt, sizeof points);
    EXPECT_EQ(points, 8);
    EXPECT_FALSE(ReadDialogTemplateLayout(bytes.data(), layout.faceAt + 4, layout)); // cut inside the face
}

TEST(DialogTemplateCopyTest, CopyWithAnotherFontKeepsEveryControl) {
    std::vector<BYTE> bytes = TemplateBytes(IDD_OPTIONS);
    // A face of another length moves the controls to a new boundary: both longer and shorter names.
    for (const wchar_t* face : {L"Tahoma", L"A Considerably Longer Face Name"}) {
        C_DialogTemplate copy;
        TemplateFont font = {};
        wcscpy(font.face, face);
        font.pointSize = 11;
        ASSERT_TRUE(copy.CopyWithFont(bytes.data(), bytes.size(), font));
        ASSERT_TRUE(copy.IsCopy());
        HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), copy.Get(), nullptr, PlainProcedure, 0);
        ASSERT_NE(window, nullptr) << face;
        EXPECT_EQ(FontFaceOf(window), face);
        for (int id : {IDC_OPTIONS_SEND_DELAY_LABEL, IDC_OPTIONS_SEND_DELAY, IDC_OPTIONS_FONT_SIZE,
                       IDC_OPTIONS_AUTO_UPDATE, IDC_OK, IDC_CANCEL})
            EXPECT_NE(GetDlgItem(window, id), nullptr) << id;
        wchar_t label[64] = {};
        GetDlgItemTextW(window, IDC_OPTIONS_SEND_DELAY_LABEL, label, 64);
        EXPECT_STREQ(label, L"Zeichensendeverzögerung");
        DestroyWindow(window);
    }
}

TEST(DialogTemplateCopyTest, ClassicTemplateWithoutExtendedHeader) {
    // DLGTEMPLATE with DS_SETFONT, no menu, no class, title "T", 8 "MS Shell Dlg", one button.
    std::vector<WORD> words;
    auto dword = [&](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    auto text = [&](const wchar_t* s) {
        for (; *s; ++s)
            words.push_back(*s);
        words.push_back(0);
    };
    dword(DS_SETFONT | WS_POPUP | WS_CAPTION);
    dword(0);
    words.insert(words.end(), {1, 0, 0, 100, 40, 0, 0});
    text(L"T");
    words.push_back(8);
    text(L"MS Shell Dlg");
    if (words.size() % 2)
        words.push_back(0);
    dword(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
    dword(0);
    words.insert(words.end(), {10, 10, 60, 14, IDOK, 0xFFFF, 0x0080});
    text(L"OK");
    words.push_back(0);
    auto* bytes = reinterpret_cast<const BYTE*>(words.data());
    size_t size = words.size() * sizeof(WORD);

    DialogTemplateLayout layout;
    ASSERT_TRUE(ReadDialogTemplateLayout(bytes, size, layout));
    EXPECT_FALSE(layout.extended);
    C_DialogTemplate copy;
    TemplateFont font = {L"Tahoma", 9};
    ASSERT_TRUE(copy.CopyWithFont(bytes, size, font));
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), copy.Get(), nullptr, PlainProcedure, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FontFaceOf(window), L"Tahoma");
    EXPECT_NE(GetDlgItem(window, IDOK), nullptr);
    DestroyWindow(window);
}

TEST(DialogTemplateCopyTest, LoadFindsTheTemplateAndKeepsItUsable) {
    C_DialogTemplate found;
    EXPECT_TRUE(found.Load(GetModuleHandleW(nullptr), IDD_TAG, 0x0407, false));
    EXPECT_NE(found.Get(), nullptr);
    C_DialogTemplate missing;
    EXPECT_FALSE(missing.Load(GetModuleHandleW(nullptr), 9999, 0x0407, false));
}

} // namespace
