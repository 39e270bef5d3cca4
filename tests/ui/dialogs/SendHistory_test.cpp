// The send bar's history: what Up and Down bring back, what it keeps, and how it survives a restart.
#include "ui/dialogs/SendHistory.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

class MemoryStore : public C_SettingsStore {
public:
    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const override {
        auto found = numbers.find(Key(name, section));
        return found == numbers.end() ? defaultValue : found->second;
    }
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) override {
        numbers[Key(name, section)] = value;
        return true;
    }
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                    const wchar_t* section) const override {
        auto found = strings.find(Key(name, section));
        dest.Assign(found == strings.end() ? (defaultText ? defaultText : L"") : found->second.c_str());
        return found != strings.end();
    }
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) override {
        strings[Key(name, section)] = text;
        return true;
    }
    static std::wstring Key(const wchar_t* name, const wchar_t* section) {
        return (section ? std::wstring(section) + L"\\" : L"") + name;
    }
    std::map<std::wstring, uint64_t> numbers;
    std::map<std::wstring, std::wstring> strings;
};

SendHistoryEntry Text(const wchar_t* text) {
    return {text, SendMode::Text};
}

// The texts each key brings, "-" where a key changes nothing.
std::vector<std::wstring> Walk(C_SendHistory& history, const wchar_t* field, const std::string& keys) {
    std::vector<std::wstring> shown;
    SendHistoryEntry current = Text(field);
    for (char key : keys) {
        SendHistoryEntry next;
        const bool moved = key == 'u' ? history.Older(current, next) : history.Newer(next);
        shown.push_back(moved ? next.text : L"-");
        if (moved)
            current = next;
    }
    return shown;
}

} // namespace

TEST(SendHistoryTest, UpAndDownWalkTheLinesAndComeBackToWhatWasTyped) {
    C_SendHistory history;
    EXPECT_EQ(Walk(history, L"typed", "ud"), (std::vector<std::wstring>{L"-", L"-"})) << "nothing sent yet";
    for (const wchar_t* line : {L"one", L"two", L"two", L"three", L"two"})
        history.Add(Text(line));
    EXPECT_EQ(history.Count(), 4u) << "the same line twice in a row is kept once";
    EXPECT_EQ(
        Walk(history, L"typed", "uuuuuddddd"),
        (std::vector<std::wstring>{L"two", L"three", L"two", L"one", L"-", L"two", L"three", L"two", L"typed", L"-"}));
    // A send ends the walk: the next Up starts at the newest line again.
    Walk(history, L"", "uu");
    history.Add(Text(L"four"));
    EXPECT_EQ(Walk(history, L"", "u"), std::vector<std::wstring>{L"four"});
}

TEST(SendHistoryTest, KeepsTheNewestHundredAndTheirModesAcrossARestart) {
    C_SendHistory history;
    for (int i = 0; i < 150; ++i)
        history.Add({std::to_wstring(i), i % 2 ? SendMode::Hex : SendMode::Text});
    history.Add({L"149", SendMode::Text}); // the same text in the other mode is another line
    ASSERT_EQ(history.Count(), C_SendHistory::kLimit);
    EXPECT_EQ(history.At(0).text, L"51");

    MemoryStore store;
    ASSERT_TRUE(history.Write(store, L"SendHistory"));
    EXPECT_EQ(store.strings[L"SendHistory\\1"], L"hex:51");
    EXPECT_EQ(store.strings[L"SendHistory\\100"], L"text:149");
    C_SendHistory restarted;
    restarted.Read(store, L"SendHistory");
    ASSERT_EQ(restarted.Count(), history.Count());
    for (size_t i = 0; i < history.Count(); ++i)
        EXPECT_TRUE(restarted.At(i) == history.At(i)) << i;

    // An entry another version wrote in a form this one does not know is left out; the rest stays in order.
    store.strings[L"SendHistory\\2"] = L"macro:reboot";
    restarted.Read(store, L"SendHistory");
    EXPECT_EQ(restarted.Count(), history.Count() - 1);
    EXPECT_EQ(restarted.At(1).text, L"53");
}
