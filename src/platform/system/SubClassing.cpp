#include "platform/system/SubClassing.h"

#include "platform/system/Handles.h"

#include <cwchar>
#include <new>

namespace {

// Finds the window's record from the window procedure, which knows the window but not the tag.
constexpr const wchar_t* kRecordProperty = L"_C_SubClassing_Record";

// A route is read by the window's thread while another thread may add or remove one, so its message is written
// last when it is added and cleared first when it is removed; 0 marks a free slot.
struct Route {
    volatile LONG message;
    uint32_t tag;
    C_SubClassTarget* volatile target;
};

struct SubClassRecord {
    WNDPROC previous = nullptr;
    Route routes[C_SubClassing::kMaxRoutes] = {};
};

// Owners attach from different threads (the command thread opens sockets, the user-interface thread starts
// the update check), so creating a record and claiming or freeing a slot happen under this one lock.
// Dispatching does not take it. Owners that are static objects restore during static destruction, so the lock
// must outlive them all.
C_SlimLock s_recordLock;

LRESULT CALLBACK SubClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

SubClassRecord* RecordOf(HWND window) {
    return static_cast<SubClassRecord*>(GetPropW(window, kRecordProperty));
}

bool IsWindowThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

bool RoutesTag(const SubClassRecord& record, uint32_t tag) {
    for (const Route& route : record.routes)
        if (route.message && route.tag == tag)
            return true;
    return false;
}

bool HasAnyRoute(const SubClassRecord& record) {
    for (const Route& route : record.routes)
        if (route.message)
            return true;
    return false;
}

Route* FindRoute(SubClassRecord& record, UINT message) {
    for (Route& route : record.routes)
        if (UINT(route.message) == message)
            return &route;
    return nullptr;
}

void RemoveTagProperty(HWND window, uint32_t tag) {
    wchar_t name[C_SubClassing::kPropertyNameSize];
    C_SubClassing::FormatPropertyName(tag, name);
    RemovePropW(window, name);
}

SubClassRecord* CreateRecord(HWND window) {
    SubClassRecord* record = new (std::nothrow) SubClassRecord;
    if (!record)
        return nullptr;
    // The previous procedure is known before ours is installed: the window's thread may call ours at once.
    record->previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!record->previous || !SetPropW(window, kRecordProperty, record)) {
        delete record;
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubClassProc)) &&
        GetLastError() != ERROR_SUCCESS) {
        RemovePropW(window, kRecordProperty);
        delete record;
        return nullptr;
    }
    return record;
}

// Takes the record off the window. The previous procedure goes back only if ours is still the window's: a
// procedure installed over ours by someone else still calls ours, so the record must stay to pass messages on,
// until the window's last message.
void ReleaseRecord(HWND window, SubClassRecord* record, bool windowEnding) {
    for (Route& route : record->routes)
        if (route.message) {
            RemoveTagProperty(window, route.tag);
            route.message = 0;
        }
    const bool ours = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == &SubClassProc;
    if (!ours && !windowEnding)
        return;
    if (ours)
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->previous));
    RemovePropW(window, kRecordProperty);
    delete record;
}

LRESULT CALLBACK SubClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SubClassRecord* record = RecordOf(window);
    if (!record)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message != 0) {
        for (Route& route : record->routes) {
            if (UINT(route.message) != message)
                continue;
            C_SubClassTarget* target = route.target;
            if (target)
                return target->OnSubClassMessage(window, message, wParam, lParam);
        }
    }
    // Nothing of the record is touched after the previous procedure returns: it may restore and free it.
    const WNDPROC previous = record->previous;
    if (message == WM_NCDESTROY) {
        C_Lock lock(s_recordLock);
        ReleaseRecord(window, record, true);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

} // namespace

void C_SubClassing::FormatPropertyName(uint32_t tag, wchar_t (&name)[kPropertyNameSize]) {
    _snwprintf(name, kPropertyNameSize, kPropertyFormat, unsigned(tag));
    name[kPropertyNameSize - 1] = 0;
}

bool C_SubClassing::IsSubClassed(HWND window, uint32_t tag) {
    wchar_t name[kPropertyNameSize];
    FormatPropertyName(tag, name);
    return window && GetPropW(window, name) != nullptr;
}

bool C_SubClassing::Attach(HWND window, uint32_t tag, UINT message, C_SubClassTarget* target) {
    if (m_window || !window || message == 0 || !target || !IsWindow(window))
        return false;
    C_Lock lock(s_recordLock);
    SubClassRecord* record = RecordOf(window);
    if (record && FindRoute(*record, message))
        return false;
    if (!record && !(record = CreateRecord(window)))
        return false;
    Route* route = FindRoute(*record, 0);
    wchar_t name[kPropertyNameSize];
    FormatPropertyName(tag, name);
    if (!route || !SetPropW(window, name, record)) {
        if (!HasAnyRoute(*record) && IsWindowThread(window))
            ReleaseRecord(window, record, false);
        return false;
    }
    route->tag = tag;
    route->target = target;
    InterlockedExchange(&route->message, LONG(message));
    m_window = window;
    m_tag = tag;
    m_message = message;
    m_target = target;
    return true;
}

void C_SubClassing::Restore() {
    if (!m_window)
        return;
    HWND window = m_window;
    m_window = nullptr;
    C_Lock lock(s_recordLock);
    SubClassRecord* record = RecordOf(window); // none when the window was destroyed meanwhile
    if (!record)
        return;
    Route* route = FindRoute(*record, m_message);
    if (!route || route->target != m_target)
        return;
    InterlockedExchange(&route->message, 0);
    route->target = nullptr;
    if (!RoutesTag(*record, m_tag))
        RemoveTagProperty(window, m_tag);
    if (!HasAnyRoute(*record) && IsWindowThread(window))
        ReleaseRecord(window, record, false);
}
