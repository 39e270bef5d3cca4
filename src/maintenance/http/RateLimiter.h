#pragma once
// Keeps a transfer to its rate: after a piece of n bytes it waits the piece's share of a second at the limit,
// less the time the piece already took. Downloads and uploads share it.
#include <windows.h>

#include <cstdint>

class C_RateLimiter {
public:
    static constexpr uint64_t kBytesPerKib = 1024;
    static constexpr uint64_t kMillisecondsPerSecond = 1000;

    // kibPerSecond 0: no limit.
    explicit C_RateLimiter(DWORD kibPerSecond) : m_limit(kibPerSecond), m_start(GetTickCount64()) {}

    void AfterPiece(DWORD bytes) {
        if (!m_limit)
            return;
        const uint64_t due = uint64_t(bytes) * kMillisecondsPerSecond / (kBytesPerKib * m_limit);
        const uint64_t took = GetTickCount64() - m_start;
        if (due > took)
            Sleep(DWORD(due - took));
        m_start = GetTickCount64();
    }

private:
    DWORD m_limit;
    uint64_t m_start;
};
