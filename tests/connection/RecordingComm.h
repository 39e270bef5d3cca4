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
    // The names of the calls from the first one named from on (all when from is empty), in order.
    std::vector<std::string> Names(const std::string& from = "") const {
        std::vector<std::string> names;
        for (const Call& call : Calls())
            if (!names.empty() || from.empty() || call.what == from)
                names.push_back(call.what);
        return names;
    }
    // Milliseconds from the first call named first to the first one named second after it; -1 when either is
    // missing.
    double Between(const std::string& first, const std::string& second) const {
        const std::vector<Call> calls = Calls();
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].what == first)
                for (size_t j = i + 1; j < calls.size(); ++j)
                    if (calls[j].what == second)
                        return calls[j].atMs - calls[i].atMs;
        return -1;
    }
    // The last state written, refused or not.
    DCB LastState() const {
        DCB last{};
        for (const Call& call : Calls())
            if (call.what == "SetState")
                last = call.state;
        return last;
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
            return Note("SetState", Refuse(), &state);
        return Note("SetState", C_CommFunctions::SetState(device, state), &state);
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
    BOOL Note(const char* what, BOOL answer, const DCB* state = nullptr) {
        const DWORD error = GetLastError();
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            Call call;
            call.what = what;
            call.atMs = NowMs();
            call.answered = answer != FALSE;
            if (state)
                call.state = *state;
            m_calls.push_back(call);
        }
        SetLastError(error);
        return answer;
    }

    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};
