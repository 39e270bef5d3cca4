#include "ui/framework/ComboBox.h"

#include "platform/system/Handles.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kComboId = 77;
constexpr int kItemWidth = 200;
constexpr int kItemHeight = 24;

// A combo box of the options dialog's kind on a window of its own; the tests hand it the owner-draw messages.
class ComboBoxTest : public ::testing::Test {
protected:
    void Create(DWORD kind) {
        m_combo = CreateWindowExW(0, L"COMBOBOX", L"",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS | kind, 0,
                                  0, kItemWidth, 200, owner.Get(), reinterpret_cast<HMENU>(kComboId), nullptr, nullptr);
        ASSERT_NE(m_combo, nullptr);
        ASSERT_TRUE(combo.Attach(m_combo, GetModuleHandleW(nullptr)));
    }

    // Item index drawn into a bitmap of its own, read back pixel by pixel.
    struct Picture {
        std::vector<COLORREF> pixels;
        COLORREF At(int x, int y) const { return pixels[size_t(y * kItemWidth + x)]; }
        bool Differs(RECT area, COLORREF colour) const {
            for (int y = area.top; y < area.bottom; ++y)
                for (int x = area.left; x < area.right; ++x)
                    if (At(x, y) != colour)
                        return true;
            return false;
        }
    };
    Picture Draw(int index, UINT state) {
        C_WindowDc screen(nullptr);
        C_MemoryDc dc(CreateCompatibleDC(screen.Get()));
        C_Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), kItemWidth, kItemHeight));
        C_SelectedObject selected(dc.Get(), bitmap.Get());
        DRAWITEMSTRUCT item = {ODT_COMBOBOX,
                               kComboId,
                               UINT(index),
                               ODA_DRAWENTIRE,
                               state,
                               m_combo,
                               dc.Get(),
                               {0, 0, kItemWidth, kItemHeight},
                               0};
        EXPECT_TRUE(combo.OnDrawItem(item));
        Picture picture;
        for (int y = 0; y < kItemHeight; ++y)
            for (int x = 0; x < kItemWidth; ++x)
                picture.pixels.push_back(GetPixel(dc.Get(), x, y));
        return picture;
    }

    OwnerWindow owner;
    C_ComboBox combo;
    HWND m_combo = nullptr;
};

TEST_F(ComboBoxTest, SortedItemsKeepTheirValues) {
    Create(CBS_DROPDOWNLIST | CBS_SORT);
    EXPECT_EQ(combo.AddItem(L"Odd", 1, IDI_PARITY_ODD), 0);
    EXPECT_EQ(combo.AddItem(L"Even", 2, IDI_PARITY_EVEN), 0); // sorted in front
    EXPECT_EQ(combo.AddItem(L"None", 0, IDI_PARITY_NONE), 1);
    EXPECT_EQ(combo.FindValue(1), 2);
    EXPECT_EQ(combo.FindValue(3), C_ComboBox::kNone);
    EXPECT_EQ(combo.FindText(L"none"), 1);
    EXPECT_EQ(combo.FindText(L"No"), C_ComboBox::kNone);

    uint32_t value = 99;
    C_String text;
    EXPECT_FALSE(combo.GetSelectedValue(value));
    ASSERT_TRUE(combo.Select(combo.FindValue(1)));
    EXPECT_TRUE(combo.GetSelectedValue(value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(combo.GetSelectedText(text));
    EXPECT_STREQ(text.c_str(), L"Odd");
    combo.Select(C_ComboBox::kNone);
    EXPECT_FALSE(combo.GetSelectedText(text));

    // Attaching again starts from an empty list.
    ASSERT_TRUE(combo.Attach(m_combo, GetModuleHandleW(nullptr)));
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(ComboBoxTest, EditTextIsReadUpToTheLimit) {
    Create(CBS_DROPDOWN);
    std::wstring longText(300, L'7');
    ASSERT_TRUE(combo.SetEditText(longText.c_str()));
    C_String text;
    ASSERT_TRUE(combo.GetEditText(text, 260));
    EXPECT_EQ(text.GetLength(), 259u);
}

TEST_F(ComboBoxTest, ItemsAreAtLeastAsHighAsTheirIcons) {
    Create(CBS_DROPDOWNLIST);
    MEASUREITEMSTRUCT item = {ODT_COMBOBOX, kComboId, 0, 0, 0, 0};
    ASSERT_TRUE(combo.OnMeasureItem(item));
    EXPECT_GE(item.itemHeight, UINT(C_ComboBox::kIconSize + 2 * C_ComboBox::kPadding));
    MEASUREITEMSTRUCT other = {ODT_COMBOBOX, kComboId + 1, 0, 0, 0, 0};
    EXPECT_FALSE(combo.OnMeasureItem(other)); // another control's
}

// The icon sits at the left, the text after it, on the window colour or the dark one.
TEST_F(ComboBoxTest, DrawsTheIconBeforeTheTextInLightAndDarkMode) {
    Create(CBS_DROPDOWNLIST);
    int withIcon = combo.AddItem(L"Even", 2, IDI_PARITY_EVEN);
    int withoutIcon = combo.AddItem(L"Plain", 0, 0);
    const int iconLeft = C_ComboBox::kPadding, iconRight = iconLeft + C_ComboBox::kIconSize;
    const RECT icon = {iconLeft, 4, iconRight, 20}, text = {iconRight + 2, 2, 120, 22};
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        combo.SetDarkMode(dark);
        COLORREF background = dark ? C_ComboBox::kDarkItemBackground : GetSysColor(COLOR_WINDOW);
        Picture drawn = Draw(withIcon, 0);
        EXPECT_EQ(drawn.At(kItemWidth - 2, kItemHeight / 2), background);
        EXPECT_TRUE(drawn.Differs(icon, background));
        EXPECT_TRUE(drawn.Differs(text, background));
        // Without an icon the text begins where the icon would stand.
        EXPECT_TRUE(Draw(withoutIcon, 0).Differs({iconLeft, 4, iconLeft + 4, 20}, background));
    }
    EXPECT_EQ(Draw(withIcon, ODS_SELECTED).At(kItemWidth - 2, 2), GetSysColor(COLOR_HIGHLIGHT));
}

} // namespace
