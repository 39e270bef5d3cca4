#include "platform/window/LayoutManager.h"

bool C_LayoutManager::Register(HWND parent, HWND control, unsigned rules) {
    if (m_count == kMaxControls || !parent || !control || GetParent(control) != parent ||
        (m_parent && m_parent != parent))
        return false;
    if (!m_parent) {
        m_parent = parent;
        m_client = ClientSize();
    }
    Entry& entry = m_entries[m_count];
    entry.control = control;
    entry.rules = rules;
    if (!Measure(entry))
        return false;
    ++m_count;
    return true;
}

void C_LayoutManager::Apply() {
    if (!m_parent || m_count == 0)
        return;
    const SIZE client = ClientSize();
    // One deferred move for all controls, so they are drawn once, in their new places.
    HDWP moves = BeginDeferWindowPos(m_count);
    for (int i = 0; i < m_count; ++i) {
        const Entry& entry = m_entries[i];
        const RECT place = Place(entry.original, m_client, entry.rules, client);
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (moves)
            moves = DeferWindowPos(moves, entry.control, nullptr, place.left, place.top, place.right - place.left,
                                   place.bottom - place.top, flags);
        else
            SetWindowPos(entry.control, nullptr, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, flags);
    }
    if (moves)
        EndDeferWindowPos(moves);
}

void C_LayoutManager::Remeasure() {
    if (!m_parent)
        return;
    m_client = ClientSize();
    for (int i = 0; i < m_count; ++i)
        Measure(m_entries[i]);
}

void C_LayoutManager::Clear() {
    m_parent = nullptr;
    m_count = 0;
}

RECT C_LayoutManager::Place(const RECT& original, SIZE originalClient, unsigned rules, SIZE client) {
    const LONG dx = client.cx - originalClient.cx;
    const LONG dy = client.cy - originalClient.cy;
    RECT place = original;
    if (rules & RULE_MOVE_RIGHT) {
        place.left += dx;
        place.right += dx;
    } else if (rules & RULE_STRETCH_WIDTH) {
        place.right += dx;
    }
    if (rules & RULE_MOVE_DOWN) {
        place.top += dy;
        place.bottom += dy;
    } else if (rules & RULE_STRETCH_HEIGHT) {
        place.bottom += dy;
    }
    // A parent made smaller than the registered layout must not turn a control inside out.
    if (place.right < place.left)
        place.right = place.left;
    if (place.bottom < place.top)
        place.bottom = place.top;
    return place;
}

bool C_LayoutManager::Measure(Entry& entry) {
    RECT rect;
    if (!GetWindowRect(entry.control, &rect))
        return false;
    MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&rect), 2);
    entry.original = rect;
    return true;
}

SIZE C_LayoutManager::ClientSize() const {
    RECT client{};
    GetClientRect(m_parent, &client);
    return {client.right, client.bottom};
}
