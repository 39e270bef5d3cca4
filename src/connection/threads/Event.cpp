#include "connection/threads/Event.h"

C_Handle CreateAutoResetEvent() {
    return C_Handle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

C_Handle CreateManualResetEvent() {
    return C_Handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

bool WaitForEvent(HANDLE event, DWORD milliseconds, bool* timedOut, HANDLE second) {
    if (timedOut)
        *timedOut = false;
    HANDLE handles[2] = {event, second};
    const DWORD count = second ? 2 : 1;
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = milliseconds;
        if (milliseconds != INFINITE) {
            const DWORD elapsed = GetTickCount() - start;
            wait = elapsed >= milliseconds ? 0 : milliseconds - elapsed;
        }
        const DWORD result = WaitForMultipleObjectsEx(count, handles, FALSE, wait, TRUE);
        if (result < WAIT_OBJECT_0 + count || (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count))
            return true;
        if (result == WAIT_IO_COMPLETION)
            continue; // an asynchronous procedure call ran; keep waiting for what we wait for
        if (result == WAIT_TIMEOUT && timedOut)
            *timedOut = true;
        return false;
    }
}
