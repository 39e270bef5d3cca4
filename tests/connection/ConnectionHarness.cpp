#include "ConnectionHarness.h"

#include "terminal/export/StoreExport.h"
#include "connection/discovery/Tags.h"

namespace {

class MemorySink : public C_ByteSink {
public:
    std::string bytes;
    bool Write(const void* data, uint32_t size) override {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
};

constexpr DWORD kPumpSliceMs = 5;

} // namespace

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

bool MemoryTags::ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                            const wchar_t* section) const {
    const auto found = tags.find(name ? name : L"");
    if (!section || std::wstring(section) != Tags::kSection || found == tags.end()) {
        dest.Assign(defaultText ? defaultText : L"");
        return false;
    }
    return dest.Assign(found->second.c_str());
}

ConnectionHarness::ConnectionHarness() {
    window.Attach(&connection);
    window.SetTagStore(&tags);
}

ConnectionHarness::~ConnectionHarness() {
    Stop();
}

bool ConnectionHarness::Start() {
    m_started = window.IsValid() && connection.Start(window, window);
    return m_started;
}

void ConnectionHarness::Stop() {
    if (!m_started)
        return;
    m_started = false;
    connection.Stop();
}

bool ConnectionHarness::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        // Other threads change what done() looks at without a message to this one, so look again soon.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSliceMs, QS_ALLINPUT);
    }
}

bool ConnectionHarness::WaitForPortsChanged(WPARAM number, size_t n) {
    return PumpUntil([&] {
        size_t count = 0;
        for (WPARAM seen : portsChanged)
            count += seen == number;
        return count >= n;
    });
}

std::string ConnectionHarness::StoreText() {
    MemorySink sink;
    StoreExport::Write(store, false, CP_ACP, sink);
    return sink.bytes;
}

bool ConnectionHarness::WaitForStoreText(const std::string& text) {
    return PumpUntil([&] { return StoreText().find(text) != std::string::npos; });
}

void ConnectionHarness::OnStatus(const wchar_t* title, const wchar_t* name) {
    unsigned id = 0;
    for (unsigned candidate :
         {unsigned(STATUS_SEARCHING), unsigned(STATUS_OPENING), unsigned(STATUS_OPENED), unsigned(STATUS_OPEN_FAILED),
          unsigned(STATUS_CLOSING), unsigned(STATUS_CLOSED), kRefusalTitleId})
        if (std::wstring(title) == C_StandInWindow::EnglishText(candidate))
            id = candidate;
    statuses.push_back({id, name ? name : kNoName});
    statusTimes.push_back(NowMs());
}

std::vector<Status> OpenStatuses(const std::wstring& target, StatusText end, const std::wstring& closeName) {
    return {{STATUS_CLOSING, closeName},
            {STATUS_CLOSED, closeName},
            {STATUS_SEARCHING, target},
            {STATUS_OPENING, target},
            {unsigned(end), target}};
}

std::wstring Printable(const std::vector<Status>& statuses) {
    std::wstring text;
    for (const Status& status : statuses)
        text += std::to_wstring(status.id) + L" " + status.name + L"; ";
    return text;
}
