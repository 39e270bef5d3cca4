#include "connection/threads/CommandThread.h"

#include "connection/ThreadTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_COMMAND = WM_APP + 50;

std::vector<std::string>* g_deleted = nullptr;

struct Command : C_ListEntry {
    explicit Command(std::string name) : name(std::move(name)) {}
    ~Command() override {
        if (g_deleted)
            g_deleted->push_back(name);
    }
    std::string name;
};

// Records what the handler was given, phase by phase; a command named "send" first sends a message to a window
// of the test thread, "hold" waits for release, "refuse-once" is refused the first time it is offered.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<std::string> deleted;
    HWND window = nullptr;
    HANDLE release = nullptr;
    bool startResult = true;
    int refusals = 0;
    C_Handle ran{CreateSemaphoreW(nullptr, 0, 100, nullptr)}; // one count per command run
    C_Handle offered = CreateAutoResetEvent();

    Recorder() { g_deleted = &deleted; }
    ~Recorder() { g_deleted = nullptr; }

    static bool Handle(CommandPhase phase, C_ListEntry* entry, void* context) {
        auto* self = static_cast<Recorder*>(context);
        if (phase != PHASE_COMMAND) {
            self->calls.push_back(phase == PHASE_STARTING ? "start" : "end");
            return phase == PHASE_STARTING ? self->startResult : true;
        }
        auto* command = dynamic_cast<Command*>(entry);
        self->calls.push_back(command ? command->name : "<not a command>");
        SetEvent(self->offered.Get());
        if (command && command->name == "refuse-once" && self->refusals++ == 0)
            return false;
        if (command && command->name == "send")
            SendMessageW(self->window, WM_TEST_COMMAND, 0, 0);
        if (command && command->name == "hold")
            WaitForSingleObject(self->release, INFINITE);
        ReleaseSemaphore(self->ran.Get(), 1, nullptr);
        return true;
    }
};

} // namespace

TEST(CommandThread, RunsCommandsInOrderBetweenStartAndEnd) {
    Recorder recorder;
    C_CommandThread worker;
    Command early("early");
    EXPECT_FALSE(worker.PostCommand(&early)) << "refused before Start";
    ASSERT_TRUE(worker.Start(&Recorder::Handle, &recorder));
    EXPECT_FALSE(worker.PostCommand(nullptr));
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(worker.PostCommand(new Command(name)));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WaitSignalled(recorder.ran.Get()));
    worker.Stop();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "a", "b", "c", "end"}));
    EXPECT_EQ(recorder.deleted, (std::vector<std::string>{"a", "b", "c"}));
    Command late("late");
    EXPECT_FALSE(worker.PostCommand(&late)) << "refused after Stop";
}

TEST(CommandThread, StopSkipsQueuedCommandsAndNeverHandsOverTheWakeUp) {
    Recorder recorder;
    C_CommandThread worker;
    // "send" blocks in SendMessage until this thread dispatches, which happens only inside Stop's wait, so the
    // stop is requested while it runs and "b" and "c" are still queued.
    MessageWindow window([](UINT message, WPARAM, LPARAM, LRESULT&) { return message == WM_TEST_COMMAND; });
    recorder.window = window.Get();
    ASSERT_TRUE(worker.Start(&Recorder::Handle, &recorder));
    ASSERT_TRUE(worker.PostCommand(new Command("send")));
    ASSERT_TRUE(WaitSignalled(recorder.offered.Get()));
    ASSERT_TRUE(worker.PostCommand(new Command("b")));
    ASSERT_TRUE(worker.PostCommand(new Command("c")));
    worker.Stop();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "send", "end"}));
    EXPECT_EQ(recorder.deleted, (std::vector<std::string>{"send", "b", "c"}));
    EXPECT_FALSE(worker.IsRunning());
}

TEST(CommandThread, StopWithAQuitMessageWaitingStillWaitsForTheRunningCommand) {
    Recorder recorder;
    C_Handle release = CreateManualResetEvent();
    recorder.release = release.Get();
    // A quit message outranks timer messages, so this timer can release "hold" only from a wait that set the quit
    // aside and went on dispatching.
    HWND timerWindow = nullptr;
    MessageWindow window([&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_TIMER)
            return false;
        KillTimer(timerWindow, 1);
        SetEvent(release.Get());
        return true;
    });
    timerWindow = window.Get();
    C_CommandThread worker; // last, so a worker that outlived a failed check ends before what it uses
    ASSERT_TRUE(worker.Start(&Recorder::Handle, &recorder));
    ASSERT_TRUE(worker.PostCommand(new Command("hold")));
    ASSERT_TRUE(WaitSignalled(recorder.offered.Get()));
    ASSERT_TRUE(worker.PostCommand(new Command("queued")));
    PostQuitMessage(23);
    ASSERT_TRUE(SetTimer(timerWindow, 1, USER_TIMER_MINIMUM, nullptr));

    worker.Stop();

    EXPECT_FALSE(worker.IsRunning()) << "Stop returned while the command thread still ran";
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "hold", "end"}));
    EXPECT_EQ(recorder.deleted, (std::vector<std::string>{"hold", "queued"}));
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is posted again";
    EXPECT_EQ(message.wParam, 23u);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and only once";
}

TEST(CommandThread, RefusedCommandStaysFirstUntilTheNextWakeUp) {
    Recorder recorder;
    C_CommandThread worker;
    ASSERT_TRUE(worker.Start(&Recorder::Handle, &recorder));
    ASSERT_TRUE(worker.PostCommand(new Command("refuse-once")));
    ASSERT_TRUE(WaitSignalled(recorder.offered.Get()));
    // Refused: the worker now sleeps until the next post, which finds the refused entry still first.
    ASSERT_TRUE(worker.PostCommand(new Command("after")));
    ASSERT_TRUE(WaitSignalled(recorder.ran.Get()));
    ASSERT_TRUE(WaitSignalled(recorder.ran.Get()));
    worker.Stop();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "refuse-once", "refuse-once", "after", "end"}));
}

TEST(CommandThread, StartingPhaseCanRefuseToRun) {
    Recorder recorder;
    recorder.startResult = false;
    C_CommandThread worker;
    ASSERT_TRUE(worker.Start(&Recorder::Handle, &recorder));
    worker.Stop(); // the thread may already have ended on its own; either way nothing else runs
    Command command("x");
    EXPECT_FALSE(worker.PostCommand(&command));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start"})) << "no ending phase after a refused start";
}
