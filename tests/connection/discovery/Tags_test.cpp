// Port tags in the settings store's "Tags" section.
#include "connection/discovery/Tags.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Values by "section\name", as the registry backend would keep them.
class MemorySettings final : public C_SettingsStore {
public:
    uint64_t ReadNumber(const wchar_t*, uint64_t defaultValue, const wchar_t*) const override { return defaultValue; }
    bool WriteNumber(const wchar_t*, uint64_t, const wchar_t*) override { return false; }
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                    const wchar_t* section) const override {
        auto found = values.find(Key(name, section));
        dest.Assign(found == values.end() ? defaultText : found->second.c_str());
        return found != values.end();
    }
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) override {
        if (refuse)
            return false;
        values[Key(name, section)] = text;
        return true;
    }
    static std::wstring Key(const wchar_t* name, const wchar_t* section) {
        return std::wstring(section ? section : L"") + L"\\" + name;
    }
    std::map<std::wstring, std::wstring> values;
    bool refuse = false;
};

} // namespace

TEST(Tags, SavedInTheTagsSectionUnderThePortKeyAndReadBack) {
    MemorySettings settings;
    ASSERT_TRUE(Tags::SaveTag(settings, L"\\\\?\\usb#vid_0403", L"Lab"));
    EXPECT_EQ(settings.values[L"Tags\\\\\\?\\usb#vid_0403"], L"Lab");
    C_String tag;
    Tags::LoadTag(settings, L"\\\\?\\usb#vid_0403", tag);
    EXPECT_STREQ(tag.c_str(), L"Lab");
}

TEST(Tags, MissingTagIsEmptyAndAnEmptyTagIsStoredAsEmpty) {
    MemorySettings settings;
    C_String tag;
    tag.Assign(L"stale");
    Tags::LoadTag(settings, L"tcp://host:23", tag);
    EXPECT_TRUE(tag.IsEmpty());
    ASSERT_TRUE(Tags::SaveTag(settings, L"tcp://host:23", nullptr));
    EXPECT_EQ(settings.values.count(L"Tags\\tcp://host:23"), 1u);
    EXPECT_EQ(settings.values[L"Tags\\tcp://host:23"], L"");
    settings.refuse = true;
    EXPECT_FALSE(Tags::SaveTag(settings, L"COM3", L"x"));
    EXPECT_FALSE(Tags::SaveTag(settings, L"", L"x"));
}
