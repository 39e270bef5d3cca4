#pragma once
// The windows a benchmark measures live on its main thread: the pump that answers their messages, work done on
// another thread meanwhile, how fast a window answers, the frame a measured view sits in and its full paint.
#include "BenchClock.h"
#include "platform/system/Handles.h"

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace BenchWindow {

constexpr UINT kProbeTimeoutMs = 5000;

inline void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Runs work on a thread of its own while this thread answers the windows' messages.
template <class Work> void WhilePumping(Work work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    worker.join();
    Pump();
}

// How long the window took to answer a message, in milliseconds; the time-out when it did not answer.
inline double AnswerMs(HWND window) {
    const double start = BenchClock::Seconds();
    DWORD_PTR result;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &result))
        return kProbeTimeoutMs;
    return (BenchClock::Seconds() - start) * 1000;
}

// A shown pop-up window at the screen's corner for the measured windows to live in.
inline HWND Frame(const wchar_t* title, int width, int height) {
    return CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The frame and its view as large as the view's edge and vertical scroll bar around a client area of width x
// height; the view then has that client area.
inline void FitToClient(HWND frame, HWND view, int width, int height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, DWORD(GetWindowLongW(view, GWL_STYLE)), FALSE, DWORD(GetWindowLongW(view, GWL_EXSTYLE)));
    outer.right += GetSystemMetrics(SM_CXVSCROLL);
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
    SetWindowPos(view, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
}

struct PaintFigures {
    double medianMs;
    double ninetiethMs;
    double processorMs;
    double copyMs; // the median copy of the finished picture to the screen
};

// Full paints of the window, each drawn and shown at once; then as many copies of the back buffer to the screen
// alone, which no drawing of the rows can save.
inline PaintFigures MeasurePaints(HWND window, HDC backBuffer, int paints) {
    std::vector<double> times;
    const double processorStart = BenchClock::ThreadSeconds();
    for (int i = 0; i < paints; ++i) {
        const double start = BenchClock::Seconds();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back((BenchClock::Seconds() - start) * 1000);
    }
    // The thread times tick coarsely, so the processor time is the mean over all paints.
    const double processorMs = (BenchClock::ThreadSeconds() - processorStart) * 1000 / paints;
    std::vector<double> copies;
    C_WindowDc screen(window);
    RECT client;
    GetClientRect(window, &client);
    for (int i = 0; i < paints; ++i) {
        const double start = BenchClock::Seconds();
        BitBlt(screen.Get(), 0, 0, client.right, client.bottom, backBuffer, 0, 0, SRCCOPY);
        GdiFlush();
        copies.push_back((BenchClock::Seconds() - start) * 1000);
    }
    return {BenchClock::Median(times), BenchClock::Percentile(times, 0.9), processorMs, BenchClock::Median(copies)};
}

} // namespace BenchWindow
