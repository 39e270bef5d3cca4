#include "connection/threads/Thread.h"

#include "connection/threads/GuardedDispatch.h"

#include "connection/ThreadTestSupport.h"
#include "support/FailingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace {

constexpr UINT WM_TEST_REQUEST = WM_APP + 40;
constexpr UINT WM_TEST_FAULT = WM_APP + 41;

// A thread function that reports its start, then waits for a release (or a stop request seen at release).
struct Gate {
    C_Handle started = CreateManualResetEvent();
    C_Handle release = CreateManualResetEvent();
    C_Thread* thread = nullptr;
    std::atomic<bool> sawStop{false};

    static DWORD Run(void* context, DWORD argument) {
        auto* gate = static_cast<Gate*>(context);
        SetEvent(gate->started.Get());
        WaitForSingleObject(gate->release.Get(), INFINITE);
        gate->sawStop = gate->thread && gate->thread->StopRequested();
        return argument;
    }
};

DWORD ReturnArgument(void*, DWORD argument) {
    return argument;
}

} // namespace

TEST(Thread, RunsOnceAtATimeAndReportsItsExitCode) {
    C_Thread thread;
    Gate gate;
    gate.thread = &thread;
    DWORD exitCode = 0;
    EXPECT_TRUE(thread.IsFinished(&exitCode)) << "a thread never started counts as finished";
    EXPECT_FALSE(thread.WaitFinished(1000));
    EXPECT_FALSE(thread.RequestStop());

    ASSERT_TRUE(thread.Start(&Gate::Run, &gate, 42));
    ASSERT_TRUE(WaitSignalled(gate.started.Get()));
    EXPECT_FALSE(thread.Start(&ReturnArgument, nullptr, 7)) << "second Start while running";
    EXPECT_FALSE(thread.IsFinished(&exitCode));
    EXPECT_FALSE(thread.StopRequested());
    EXPECT_TRUE(thread.RequestStop());
    EXPECT_TRUE(thread.StopRequested());
    SetEvent(gate.release.Get());
    EXPECT_TRUE(WaitUntilFinished(thread));
    EXPECT_TRUE(gate.sawStop);
    ASSERT_TRUE(thread.IsFinished(&exitCode));
    EXPECT_EQ(exitCode, 42u) << "the first function's result, not the refused second start's";

    // A new start clears the stop request and replaces the exit code.
    ASSERT_TRUE(thread.Start(&ReturnArgument, nullptr, 7));
    EXPECT_FALSE(thread.StopRequested());
    ASSERT_TRUE(WaitUntilFinished(thread));
    ASSERT_TRUE(thread.IsFinished(&exitCode));
    EXPECT_EQ(exitCode, 7u);
}

TEST(Thread, RestartsImmediatelyAfterItsWaitReturns) {
    // The routine's last steps must not let a waiter's immediate restart fail or be signalled early.
    C_Thread thread;
    for (DWORD round = 0; round < 300; ++round) {
        ASSERT_TRUE(thread.Start(&ReturnArgument, nullptr, round)) << "round " << round;
        ASSERT_TRUE(WaitUntilFinished(thread)) << "round " << round;
        DWORD exitCode = 0;
        ASSERT_TRUE(thread.IsFinished(&exitCode));
        ASSERT_EQ(exitCode, round);
    }
}

TEST(Thread, WaitTimesOutAndTerminateEndsAThreadThatNeverReturns) {
    Gate gate;
    auto thread = std::make_unique<C_Thread>();
    ASSERT_TRUE(thread->Start(&Gate::Run, &gate, 1));
    ASSERT_TRUE(WaitSignalled(gate.started.Get()));
    EXPECT_FALSE(thread->WaitFinished(100));
    thread->Terminate();
    EXPECT_TRUE(thread->IsFinished());
    EXPECT_FALSE(thread->WaitFinished());

    // Usable again after a termination. Destroying one that ignores its stop request terminates it, but only
    // after the request and a wait, and says so.
    ResetEvent(gate.started.Get());
    ASSERT_TRUE(thread->Start(&Gate::Run, &gate, 2));
    ASSERT_TRUE(WaitSignalled(gate.started.Get()));
    TraceRecorder trace;
    thread.reset();
    ASSERT_EQ(trace.messages.size(), 1u);
    EXPECT_NE(trace.messages[0].find("terminated"), std::string::npos) << trace.messages[0];
}

TEST(Thread, DestroyingARunningThreadAsksItToStopAndLetsItFinish) {
    // A terminated worker never gets to its last steps (releasing what it holds); an asked one does.
    struct Worker {
        C_Handle started = CreateManualResetEvent();
        C_Thread* thread = nullptr;
        std::atomic<bool> finished{false};
    } worker;
    TraceRecorder trace;
    {
        C_Thread thread;
        worker.thread = &thread;
        ASSERT_TRUE(thread.Start(
            [](void* raw, DWORD) -> DWORD {
                auto* worker = static_cast<Worker*>(raw);
                SetEvent(worker->started.Get());
                while (!worker->thread->StopRequested())
                    Sleep(1); // the stop request is a flag: test it as any worker does
                worker->finished = true;
                return 0;
            },
            &worker));
        ASSERT_TRUE(WaitSignalled(worker.started.Get()));
    }
    EXPECT_TRUE(worker.finished) << "the thread was killed instead of asked to stop";
    EXPECT_TRUE(trace.messages.empty());
}

TEST(ThreadWait, DeliversWhatTheAwaitedThreadSendsToTheWaitingThreadsWindow) {
    int handled = 0;
    MessageWindow window([&](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message != WM_TEST_REQUEST)
            return false;
        ++handled;
        result = static_cast<LRESULT>(wParam) * 2;
        return true;
    });
    ASSERT_TRUE(window.Get());
    struct Context {
        HWND window;
        LRESULT answer;
    } context{window.Get(), 0};
    C_Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* context = static_cast<Context*>(raw);
            context->answer = SendMessageW(context->window, WM_TEST_REQUEST, 21, 0); // blocks until handled
            return 5;
        },
        &context));
    EXPECT_TRUE(thread.WaitFinished()) << "a plain wait would dead-lock here";
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(context.answer, 42);
}

TEST(ThreadWait, QuitMessageEndsTheWaitAndStaysQueuedForTheOuterLoop) {
    Gate gate;
    struct Context {
        Gate* gate;
        DWORD waiter;
    } context{&gate, GetCurrentThreadId()};
    C_Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* context = static_cast<Context*>(raw);
            PostThreadMessageW(context->waiter, WM_QUIT, 17, 0);
            return Gate::Run(context->gate, 0);
        },
        &context));
    EXPECT_FALSE(thread.WaitFinished());
    EXPECT_FALSE(thread.IsFinished()) << "the wait ended for the quit message, not the thread";
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 17u);
    SetEvent(gate.release.Get());
    EXPECT_TRUE(WaitUntilFinished(thread));
}

TEST(ThreadWait, EndsWhileOtherThreadsFloodTheWaitersWindow) {
    MessageWindow window([](UINT message, WPARAM, LPARAM, LRESULT&) { return message == WM_TEST_REQUEST; });
    struct Flood {
        HWND window;
        std::atomic<bool> stop{false};
    } flood{window.Get()};
    // Several posters outpace the one thread that handles their messages.
    C_Thread flooders[3];
    for (C_Thread& flooder : flooders)
        ASSERT_TRUE(flooder.Start(
            [](void* raw, DWORD) -> DWORD {
                auto* flood = static_cast<Flood*>(raw);
                while (!flood->stop)
                    PostMessageW(flood->window, WM_TEST_REQUEST, 0, 0); // fails harmlessly while the queue is full
                return 0;
            },
            &flood));
    Gate gate;
    C_Thread awaited;
    ASSERT_TRUE(awaited.Start(&Gate::Run, &gate));
    ASSERT_TRUE(WaitSignalled(gate.started.Get()));
    SetEvent(gate.release.Get());
    // The queue never runs dry; only stopping at messages newer than the dispatch round lets the wait see the end.
    EXPECT_TRUE(WaitUntilFinished(awaited));
    flood.stop = true;
    for (C_Thread& flooder : flooders)
        EXPECT_TRUE(WaitUntilFinished(flooder));
}

TEST(ThreadWait, AFaultInAWindowProcedureDoesNotEndTheWait) {
    int faults = 0;
    MessageWindow window([&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_TEST_FAULT)
            return false;
        if (++faults == 1) {
            RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr);
        } else {
            // A real access violation. (Not through a null pointer: Wine may have the lowest page mapped.)
            void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
            int* volatile target = static_cast<int*>(page);
            *target = 1;
        }
        return true;
    });
    Gate gate;
    struct Context {
        Gate* gate;
        HWND window;
    } context{&gate, window.Get()};
    C_Thread thread;
    TraceRecorder trace;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* context = static_cast<Context*>(raw);
            PostMessageW(context->window, WM_TEST_FAULT, 0, 0);
            PostMessageW(context->window, WM_TEST_FAULT, 0, 0);
            return 3;
        },
        &context));
    EXPECT_TRUE(WaitUntilFinished(thread));
    // Whatever the wait did not get to is still queued; handle it the same way.
    MSG message;
    while (PeekMessageW(&message, window.Get(), WM_TEST_FAULT, WM_TEST_FAULT, PM_REMOVE))
        DispatchGuarded(message);
    EXPECT_EQ(faults, 2);
    ASSERT_EQ(trace.messages.size(), 2u);
    EXPECT_NE(trace.messages[0].find("C0000094"), std::string::npos);
    EXPECT_NE(trace.messages[1].find("C0000005"), std::string::npos);
}
