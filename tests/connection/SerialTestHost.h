#pragma once
// The connection as a serial transport sees it, for tests: records every block and idle flush, answers the
// line settings chosen by the test, and owns the data event and the stop flag.
#include "connection/threads/Event.h"
#include "connection/transports/Transport.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class SerialTestHost : public C_TransportHost, public C_ReceiveSink {
public:
    SerialLineSettings line;

    void ProcessReceivedData(const uint8_t* data, uint32_t length) override {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_received.append(reinterpret_cast<const char*>(data), length);
        m_blocks.push_back(length);
    }
    void FlushIfIdle() override { ++m_flushes; }
    void ResetFlushTime() override {}

    C_ReceiveSink& GetReceiveSink() override { return *this; }
    // Answers both the transport and the sink.
    bool HasPendingLine() override { return m_pendingLine; }
    HANDLE GetDataEvent() override { return m_dataEvent.Get(); }
    bool IsStopRequested() override { return m_stop; }
    void ShowStatus(StatusText text, const wchar_t* name) override {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_statuses.push_back({text, name ? name : L"<none>"});
    }
    HWND GetMainWindow() override { return nullptr; }
    SerialLineSettings GetSerialLineSettings(const wchar_t* port) override {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_linePorts.push_back(port ? port : L"<none>");
        return line;
    }
    void ShowRefusal(RefusalText text, const wchar_t* port, const wchar_t* detail) override {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_refusals.push_back({text, std::wstring(port ? port : L"") + L"|" + (detail ? detail : L"")});
    }

    // A pending line keeps every wait short, so a test can run steps one by one on its own thread.
    void SetPendingLine(bool pending) { m_pendingLine = pending; }
    // What the connection's close does to a running reader: request the stop, then wake it.
    void RequestStopAndWake() {
        m_stop = true;
        SetEvent(m_dataEvent.Get());
    }

    std::string Received() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_received;
    }
    std::vector<uint32_t> Blocks() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_blocks;
    }
    int Flushes() const { return m_flushes; }
    std::vector<std::pair<StatusText, std::wstring>> Statuses() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_statuses;
    }
    // Each refusal as its text and "port|detail".
    std::vector<std::pair<RefusalText, std::wstring>> Refusals() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_refusals;
    }
    // The port each open asked the line settings for.
    std::vector<std::wstring> LinePorts() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_linePorts;
    }

private:
    C_Handle m_dataEvent = CreateAutoResetEvent();
    std::atomic<bool> m_pendingLine{true};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_flushes{0};
    mutable std::mutex m_mutex;
    std::string m_received;
    std::vector<uint32_t> m_blocks;
    std::vector<std::pair<StatusText, std::wstring>> m_statuses;
    std::vector<std::pair<RefusalText, std::wstring>> m_refusals;
    std::vector<std::wstring> m_linePorts;
};
