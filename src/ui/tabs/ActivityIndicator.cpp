#include "ui/tabs/ActivityIndicator.h"

bool C_ActivityIndicator::Note(uint64_t now) {
    C_Lock hold(m_lock);
    const bool wasAtRest = m_stamp == 0;
    // A stamp of 0 means "at rest", so a clock that reads 0 still counts as activity.
    m_stamp = now ? now : 1;
    return wasAtRest;
}

C_ActivityIndicator::Step C_ActivityIndicator::Advance(uint64_t now) {
    C_Lock hold(m_lock);
    if (m_stamp != 0 && now - m_stamp <= kActiveForMs) {
        m_phase = (m_phase + 1) % kPhases;
        return {true, kPhaseIcons[m_phase]};
    }
    m_stamp = 0;
    m_phase = 0;
    return {false, kPhaseIcons[0]};
}
