#pragma once
// The serial port's line calls as a test sees them: every call in order with the moment it was made and what it
// asked for, each either passed to the system (a real port) or played (a driver that does what it is told, or one
// that refuses).
#include "connection/transports/CommFunctions.h"

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A clock in milliseconds with sub-millisecond steps.
double NowMs();

class RecordingComm final : public C_CommFunctions {
public:
    enum class Play {
        System,  // the system's answer
        Done,    // success, without asking the system
        Refused, // FALSE with ERROR_INVALID_PARAMETER, as a driver that lacks the function
    };

    struct Call {
        std::string what; // "GetState", "SetState", "SETDTR", "CLRDTR", "SETRTS", "CLRRTS", "SetBreak", ...
        double atMs = 0;  // when it was made
        bool answered = false;
        DCB state{}; // for SetState: what was asked
    };

    Play escape = Play::System;
    Play breaks = Play::System;
    Play modemStatus = Play::System;
    DWORD playedModemStatus = 0;
    // A state the driver refuses; none by default.
    std::function<bool(const DCB&)> refuseState;

    std::vector<Call> Calls() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_calls;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const Call& call : Calls())
            names.push_back(call.what);
        return names;
    }
    // When the first call named what was made; -1 when there was none.
    double TimeOf(const std::string& what) const {
        for (const Call& call : Calls())
            if (call.what == what)
                return call.atMs;
        return -1;
    }
    void Forget() {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_calls.clear();
    }

    BOOL GetState(HANDLE device, DCB& state) override {
        return Note("GetState", C_CommFunctions::GetState(device, state));
    }
    BOOL SetState(HANDLE device, DCB& state) override {
        if (refuseState && refuseState(state))
            return Note("SetState", Refuse());
        return Note("SetState", C_CommFunctions::SetState(device, state));
    }
    BOOL Escape(HANDLE device, DWORD function) override {
        return Note(EscapeName(function), Answer(escape, [&] { return C_CommFunctions::Escape(device, function); }));
    }
    BOOL SetBreak(HANDLE device) override {
        return Note("SetBreak", Answer(breaks, [&] { return C_CommFunctions::SetBreak(device); }));
    }
    BOOL ClearBreak(HANDLE device) override {
        return Note("ClearBreak", Answer(breaks, [&] { return C_CommFunctions::ClearBreak(device); }));
    }
    BOOL GetModemStatus(HANDLE device, DWORD& status) override {
        status = playedModemStatus;
        return Note("GetModemStatus",
                    Answer(modemStatus, [&] { return C_CommFunctions::GetModemStatus(device, status); }));
    }

private:
    static const char* EscapeName(DWORD function) {
        switch (function) {
        case SETDTR:
            return "SETDTR";
        case CLRDTR:
            return "CLRDTR";
        case SETRTS:
            return "SETRTS";
        case CLRRTS:
            return "CLRRTS";
        default:
            return "Escape?";
        }
    }
    static BOOL Refuse() {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    template <class System> static BOOL Answer(Play play, System system) {
        switch (play) {
        case Play::Done:
            return TRUE;
        case Play::Refused:
            return Refuse();
        default:
            return system();
        }
    }
    BOOL Note(const char* what, BOOL answer) {
        const DWORD error = GetLastError();
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_calls.push_back({what, NowMs()});
        }
        SetLastError(error);
        return answer;
    }

    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};
