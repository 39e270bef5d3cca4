#include "ui/dialogs/SendHistory.h"

#include <cwchar>

namespace {

std::wstring ValueName(size_t index) {
    return std::to_wstring(index + 1);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

} // namespace

void C_SendHistory::Add(const SendHistoryEntry& entry) {
    m_walking = false;
    if (!m_entries.empty() && m_entries.back() == entry)
        return;
    m_entries.push_back(entry);
    if (m_entries.size() > kLimit)
        m_entries.erase(m_entries.begin(), m_entries.begin() + (m_entries.size() - kLimit));
}

bool C_SendHistory::Older(const SendHistoryEntry& current, SendHistoryEntry& shown) {
    if (!m_walking) {
        if (m_entries.empty())
            return false;
        m_walking = true;
        m_draft = current;
        m_position = m_entries.size();
    }
    if (m_position == 0)
        return false;
    shown = m_entries[--m_position];
    return true;
}

bool C_SendHistory::Newer(SendHistoryEntry& shown) {
    if (!m_walking)
        return false;
    if (++m_position >= m_entries.size()) {
        m_walking = false;
        shown = m_draft;
        return true;
    }
    shown = m_entries[m_position];
    return true;
}

void C_SendHistory::Read(const C_SettingsStore& store, const wchar_t* section) {
    m_entries.clear();
    m_walking = false;
    const uint64_t count = store.ReadNumber(kCountName, 0, section);
    C_String value;
    for (size_t i = 0; i < count && i < kLimit; ++i) {
        if (!store.ReadString(ValueName(i).c_str(), value, nullptr, section))
            continue;
        const std::wstring stored(value.c_str(), value.GetLength());
        if (StartsWith(stored, kTextPrefix))
            m_entries.push_back({stored.substr(wcslen(kTextPrefix)), SendMode::Text});
        else if (StartsWith(stored, kHexPrefix))
            m_entries.push_back({stored.substr(wcslen(kHexPrefix)), SendMode::Hex});
    }
}

// Values beyond the count may remain from a longer list; the count says where the list ends.
bool C_SendHistory::Write(C_SettingsStore& store, const wchar_t* section) const {
    bool ok = true;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const SendHistoryEntry& entry = m_entries[i];
        const std::wstring value = (entry.mode == SendMode::Hex ? kHexPrefix : kTextPrefix) + entry.text;
        ok &= store.WriteString(ValueName(i).c_str(), value.c_str(), section);
    }
    ok &= store.WriteNumber(kCountName, m_entries.size(), section);
    return ok;
}
