#pragma once
// Events shared by the threads and transports. The wait helper is the one every waiting piece of code uses, so
// all waits treat time-outs, abandoned objects and completed asynchronous procedure calls alike.
#include "platform/system/Handles.h"

#include <windows.h>

// A new unnamed, non-signalled event; an invalid handle when the system refuses one.
C_Handle CreateAutoResetEvent();
C_Handle CreateManualResetEvent();

// Waits for event (and second, when given) up to milliseconds (INFINITE for no limit). The wait is alertable: a
// completed asynchronous procedure call resumes it with the remaining time. True when an object is signalled or
// abandoned; false on time-out (timedOut set) or on any other failure (timedOut cleared).
bool WaitForEvent(HANDLE event, DWORD milliseconds, bool* timedOut = nullptr, HANDLE second = nullptr);
