#include "platform/system/SubClassing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr uint32_t kTag = 0x6E656361;
constexpr uint32_t kOtherTag = 0x12AB34CD;
constexpr UINT kFirstMessage = WM_APP + 3;
constexpr UINT kSecondMessage = WM_APP + 4;
constexpr LRESULT kOriginalAnswer = 1000;

// The window's own procedure answers every application message with kOriginalAnswer plus the offset, so a
// test sees which procedure handled it.
std::vector<UINT> s_originalSaw;

LRESULT CALLBACK OriginalProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) {
        s_originalSaw.push_back(message);
        return kOriginalAnswer + LRESULT(message - WM_APP);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class Target : public C_SubClassTarget {
public:
    explicit Target(LRESULT answer) : m_answer(answer) {}
    LRESULT OnSubClassMessage(HWND, UINT message, WPARAM, LPARAM) override {
        saw.push_back(message);
        threads.push_back(GetCurrentThreadId());
        return m_answer;
    }
    std::vector<UINT> saw;
    std::vector<DWORD> threads;

private:
    LRESULT m_answer;
};

class SubClassingTest : public ::testing::Test {
protected:
    void SetUp() override {
        s_originalSaw.clear();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = OriginalProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VeltoSubClassingTest";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
        ASSERT_TRUE(window != nullptr);
    }
    void TearDown() override {
        if (IsWindow(window))
            DestroyWindow(window);
    }

    LONG_PTR Procedure() const { return GetWindowLongPtrW(window, GWLP_WNDPROC); }
    LRESULT Send(UINT message) { return SendMessageW(window, message, 0, 0); }

    HWND window = nullptr;
    Target first{1}, second{2};
};

TEST_F(SubClassingTest, RoutesTheOwnersMessageAndPassesTheRestOn) {
    const LONG_PTR original = Procedure();
    C_SubClassing subClassing;
    ASSERT_TRUE(subClassing.Attach(window, kTag, kFirstMessage, &first));

    EXPECT_NE(original, Procedure());
    EXPECT_TRUE(C_SubClassing::IsSubClassed(window, kTag));
    EXPECT_TRUE(GetPropW(window, L"_C_SubClassing_Property_6E656361") != nullptr);
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window, kOtherTag));
    EXPECT_EQ(1, Send(kFirstMessage));
    EXPECT_EQ(kOriginalAnswer + 4, Send(kSecondMessage));
    EXPECT_EQ(std::vector<UINT>{kFirstMessage}, first.saw);
    EXPECT_EQ(std::vector<UINT>{kSecondMessage}, s_originalSaw);

    subClassing.Restore();
    EXPECT_EQ(original, Procedure());
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window, kTag));
    EXPECT_EQ(kOriginalAnswer + 3, Send(kFirstMessage));
    subClassing.Restore(); // harmless twice
}

// Two socket layers share the main window and the tag; the window is subclassed once, and both are served.
TEST_F(SubClassingTest, OwnersSharingATagAreEachServedFromOneSubclass) {
    const LONG_PTR original = Procedure();
    C_SubClassing tcp, udp, refused;
    ASSERT_TRUE(tcp.Attach(window, kTag, kFirstMessage, &first));
    const LONG_PTR subclassed = Procedure();
    ASSERT_TRUE(udp.Attach(window, kTag, kSecondMessage, &second));
    EXPECT_EQ(subclassed, Procedure()) << "not subclassed twice";
    EXPECT_FALSE(refused.Attach(window, kOtherTag, kFirstMessage, &second)) << "the message already has an owner";

    EXPECT_EQ(1, Send(kFirstMessage));
    EXPECT_EQ(2, Send(kSecondMessage));

    tcp.Restore();
    EXPECT_TRUE(C_SubClassing::IsSubClassed(window, kTag)) << "the tag still has an owner";
    EXPECT_EQ(kOriginalAnswer + 3, Send(kFirstMessage));
    EXPECT_EQ(2, Send(kSecondMessage));
    udp.Restore();
    EXPECT_EQ(original, Procedure());
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window, kTag));
}

TEST_F(SubClassingTest, AnOwnerAttachesOnlyOnce) {
    C_SubClassing subClassing;
    ASSERT_TRUE(subClassing.Attach(window, kTag, kFirstMessage, &first));
    EXPECT_FALSE(subClassing.Attach(window, kOtherTag, kSecondMessage, &second));
    EXPECT_FALSE(C_SubClassing().Attach(nullptr, kTag, kSecondMessage, &second));
    EXPECT_FALSE(C_SubClassing().Attach(window, kTag, 0, &second));
    EXPECT_EQ(kOriginalAnswer + 4, Send(kSecondMessage));
}

// A procedure installed over ours by someone else keeps working after we restore, and so does the window.
TEST_F(SubClassingTest, RestoringUnderAForeignSubclassKeepsTheChainIntact) {
    static WNDPROC s_belowForeign = nullptr;
    struct Foreign {
        static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_APP + 7)
                return 77;
            return CallWindowProcW(s_belowForeign, window, message, wParam, lParam);
        }
    };
    C_SubClassing subClassing;
    ASSERT_TRUE(subClassing.Attach(window, kTag, kFirstMessage, &first));
    s_belowForeign = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Foreign::Procedure)));

    subClassing.Restore();
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window, kTag));
    EXPECT_EQ(77, Send(WM_APP + 7));
    EXPECT_EQ(kOriginalAnswer + 3, Send(kFirstMessage)) << "no longer routed, passed down to the window";

    C_SubClassing again;
    ASSERT_TRUE(again.Attach(window, kTag, kFirstMessage, &second));
    EXPECT_EQ(2, Send(kFirstMessage));
    again.Restore();
    DestroyWindow(window); // the record left under the foreign procedure goes with the window
}

TEST_F(SubClassingTest, DestroyedWindowCleansUpAndRestoreAfterwardsIsHarmless) {
    C_SubClassing subClassing;
    ASSERT_TRUE(subClassing.Attach(window, kTag, kFirstMessage, &first));
    DestroyWindow(window);
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window, kTag));
    subClassing.Restore();
    EXPECT_FALSE(subClassing.IsAttached());
}

// The socket layer attaches from the command thread; the messages are still handled on the window's thread.
TEST_F(SubClassingTest, AttachFromAnotherThreadRoutesOnTheWindowsThread) {
    C_SubClassing subClassing;
    bool attached = false;
    std::thread other([&] { attached = subClassing.Attach(window, kTag, kFirstMessage, &first); });
    other.join();
    ASSERT_TRUE(attached);
    EXPECT_EQ(1, Send(kFirstMessage));
    ASSERT_EQ(1u, first.threads.size());
    EXPECT_EQ(GetCurrentThreadId(), first.threads[0]);
}

} // namespace
