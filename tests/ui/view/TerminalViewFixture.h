#pragma once
// A real terminal view in a visible pop-up window on the test display, with the real line store fed through
// the real receive assembly, a recording send sink, host and link opener, and a known font.
#include "terminal/receive/ReceiveAssembly.h"
#include "ui/view/TerminalView.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class RecordingSink final : public C_SendSink {
public:
    void SendText(const wchar_t* text) override { sent += text; }
    void SendBreak() override { ++breaks; }
    std::wstring sent;
    int breaks = 0;
};

class RecordingHost final : public C_TerminalViewHost {
public:
    void ToggleSearchBar() override { ++searchToggles; }
    void ToggleSendBar() override { ++sendBarToggles; }
    void ChooseFileToSend() override { ++fileChoices; }
    int sendBarToggles = 0;
    int fileChoices = 0;
    void ToggleHexView() override { ++hexToggles; }
    void NoteActivity() override { ++activity; }
    int searchToggles = 0;
    int hexToggles = 0;
    std::atomic<int> activity{0};
};

class RecordingLinkOpener final : public C_LinkOpener {
public:
    void OpenLink(const wchar_t* link) override { opened.push_back(link); }
    std::vector<std::wstring> opened;
};

class TerminalViewTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kFace = L"DejaVu Sans Mono";
    static constexpr int kColumns = 40;
    static constexpr int kRows = 10;

    static void SetUpTestSuite() { parent = CreateSuiteFrame(L"view test"); }
    static void TearDownTestSuite() {
        DestroyWindow(parent);
        parent = nullptr;
        PumpPending();
    }

    void SetUp() override { Open(kColumns, kRows); }
    void TearDown() override {
        view.Destroy();
        PumpPending();
    }

    void Open(int columns, int rows) {
        view.SetFontOptions(kFace, 200, 0, L"\xE0B0");
        view.SetSendSink(&sink);
        view.SetHost(&host);
        view.SetLinkOpener(&links);
        view.SetKeyModeSource(&assembly.Interpreter());
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(view.Create(parent, {0, 0, 100, 100}));
        ResizeToCells(columns, rows);
        PumpPending();
    }

    // Client area of columns x rows cells plus the margins.
    void ResizeToCells(int columns, int rows) {
        FitToClient(parent, view.GetWindow(), columns * view.CharacterWidth() + 2 * C_TerminalView::kMargin,
                    rows * view.RowHeight() + 2 * C_TerminalView::kMargin);
    }

    // Received bytes on this thread, flushed at once as the idle flush would.
    void Receive(const std::string& bytes) {
        assembly.ProcessReceivedData(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    }

    // Received bytes on a reader thread of their own, while this thread answers the view's messages.
    void ReceiveOnReader(const std::string& bytes) {
        std::atomic<bool> done{false};
        std::thread reader([&] {
            Receive(bytes);
            done = true;
        });
        bool finished = PumpUntil([&] { return done.load(); }, 60000);
        reader.join();
        ASSERT_TRUE(finished);
        // What the reader changed reaches the view with the view's next message.
        SendMessageW(view.GetWindow(), WM_NULL, 0, 0);
    }

    void Paint() { RedrawWindow(view.GetWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

    // Client point at the middle of a visible cell.
    POINT CellPoint(int row, int column) const {
        return {C_TerminalView::kMargin + column * view.CharacterWidth() + view.CharacterWidth() / 2,
                C_TerminalView::kMargin + row * view.RowHeight() + view.RowHeight() / 2};
    }
    // A pixel of the back buffer inside the cell of a display row, as 0xRRGGBB.
    uint32_t PixelAt(int row, int column, int dx, int dy) const {
        COLORREF colour = GetPixel(view.BackBuffer(), C_TerminalView::kMargin + column * view.CharacterWidth() + dx,
                                   C_TerminalView::kMargin + row * view.RowHeight() - view.ScrollPosition() + dy);
        return uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
    }
    uint32_t CentreOf(int row, int column) const {
        return PixelAt(row, column, view.CharacterWidth() / 2, view.RowHeight() / 2);
    }

    // Mouse messages are posted, so they carry message times as the user's would.
    void Mouse(UINT message, POINT point, WPARAM keys = 0) {
        PostMessageW(view.GetWindow(), message, keys, MAKELPARAM(point.x, point.y));
        PumpPending();
    }

    std::wstring ClipboardText() { return ::ClipboardText(parent); }

    C_TerminalView view;
    C_ReceiveAssembly assembly{view.Store()};
    RecordingSink sink;
    RecordingHost host;
    RecordingLinkOpener links;
    static inline HWND parent = nullptr;
};

// The thread's keyboard state says these keys are held until the scope ends.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<BYTE> keys) {
        GetKeyboardState(m_saved);
        BYTE state[256];
        memcpy(state, m_saved, sizeof(state));
        for (BYTE key : keys)
            if (key) // 0: none
                state[key] = 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(m_saved); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE m_saved[256];
};
