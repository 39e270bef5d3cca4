#pragma once
// C_ActivityIndicator: shows that lines are arriving which the filter hides, by animating the filter field's
// icon. The reader thread notes each hidden line; the window's timer advances the animation while lines keep
// coming and stops it five seconds after the last one. Window-free: the caller owns the timer and the icon, and
// passes the time in.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>

class C_ActivityIndicator {
public:
    // The animation runs while the last hidden line is at most this old.
    static constexpr uint64_t kActiveForMs = 5000;
    static constexpr int kPhases = 4;
    // The icon of each phase; phase 0 is the filter field's icon at rest.
    static constexpr UINT kPhaseIcons[kPhases] = {146, 148, 147, 149};

    C_ActivityIndicator() = default;
    C_ActivityIndicator(const C_ActivityIndicator&) = delete;
    C_ActivityIndicator& operator=(const C_ActivityIndicator&) = delete;

    // Any thread. True when the indicator was at rest: the caller has the timer started.
    bool Note(uint64_t now);

    struct Step {
        bool keepRunning; // false: stop the timer
        UINT icon;        // show this one
    };
    // One timer tick: the next phase while lines are recent, else back to rest.
    Step Advance(uint64_t now);

private:
    C_CriticalSection m_lock;
    uint64_t m_stamp = 0; // of the last hidden line; 0 at rest
    int m_phase = 0;
};
