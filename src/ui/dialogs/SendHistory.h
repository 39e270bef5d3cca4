#pragma once
// C_SendHistory: the lines sent from the send bar, for Up and Down to bring back. One list for every port: the
// same commands go to several boards, and a port's name changes with the USB socket an adapter is plugged into.
// It keeps the newest kLimit lines, never the same line twice in a row, and each line remembers whether it was
// hex bytes, so recalling it restores the field's mode too. It is kept in the settings (section "SendHistory")
// and survives a restart; window-free, so its tests need no bar.
#include "foundation/settings/SettingsStore.h"

#include <cstddef>
#include <string>
#include <vector>

enum class SendMode { Text, Hex };

struct SendHistoryEntry {
    std::wstring text;
    SendMode mode = SendMode::Text;
    bool operator==(const SendHistoryEntry& other) const { return text == other.text && mode == other.mode; }
};

class C_SendHistory {
public:
    static constexpr size_t kLimit = 100;
    static constexpr const wchar_t* kCountName = L"Count";
    // Each entry is stored as its mode's prefix and its text ("text:help", "hex:01 02 ff").
    static constexpr const wchar_t* kTextPrefix = L"text:";
    static constexpr const wchar_t* kHexPrefix = L"hex:";

    // A sent line, unless it equals the newest; the oldest goes once there are more than kLimit. Ends a walk.
    void Add(const SendHistoryEntry& entry);
    // Up: the next older line into shown. The first step keeps current (what the field held) to come back to.
    // False, leaving shown alone, when there is nothing older.
    bool Older(const SendHistoryEntry& current, SendHistoryEntry& shown);
    // Down: the next newer line; past the newest, what the field held before the walk. False when not walking.
    bool Newer(SendHistoryEntry& shown);
    void EndWalk() { m_walking = false; }

    size_t Count() const { return m_entries.size(); }
    const SendHistoryEntry& At(size_t index) const { return m_entries[index]; } // 0: the oldest

    // Entries the store holds in a form this version does not know are skipped.
    void Read(const C_SettingsStore& store, const wchar_t* section);
    bool Write(C_SettingsStore& store, const wchar_t* section) const;

private:
    std::vector<SendHistoryEntry> m_entries; // oldest first
    bool m_walking = false;
    size_t m_position = 0; // the entry shown while walking
    SendHistoryEntry m_draft;
};
