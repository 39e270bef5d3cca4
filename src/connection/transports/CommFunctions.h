#pragma once
// C_CommFunctions: the system's calls that set a serial line (its state, the modem lines, the break) and read its
// input lines. The serial port makes them through this seam, so tests can record them with their times or play
// a driver that refuses; everything else uses System(), which calls the system.
#include <windows.h>

class C_CommFunctions {
public:
    virtual ~C_CommFunctions() = default;

    virtual BOOL GetState(HANDLE device, DCB& state) { return GetCommState(device, &state); }
    virtual BOOL SetState(HANDLE device, DCB& state) { return SetCommState(device, &state); }
    // SETDTR, CLRDTR, SETRTS or CLRRTS.
    virtual BOOL Escape(HANDLE device, DWORD function) { return EscapeCommFunction(device, function); }
    virtual BOOL SetBreak(HANDLE device) { return SetCommBreak(device); }
    virtual BOOL ClearBreak(HANDLE device) { return ClearCommBreak(device); }
    // MS_CTS_ON, MS_DSR_ON, MS_RING_ON and MS_RLSD_ON.
    virtual BOOL GetModemStatus(HANDLE device, DWORD& status) { return GetCommModemStatus(device, &status); }

    static C_CommFunctions& System();
};
