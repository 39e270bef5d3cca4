#pragma once
// Translates and dispatches one window message inside a structured-exception frame of its own, so that a fault
// in some window procedure does not tear down a wait that other threads depend on (the shutdown wait, a close
// waiting for the reader). The compiler has no __try/__except, so the frame is registered by hand.
#include <windows.h>

// True when the message was dispatched normally; false when a structured exception was raised while translating
// or dispatching it (the exception code goes to exceptionCode when given). C++ exceptions cannot cross the
// system's dispatch frames at all and are not caught here.
bool DispatchGuarded(const MSG& message, DWORD* exceptionCode = nullptr);
