#pragma once
// Test seams of the foundation: make heap allocations fail, and record the diagnostic trace.
#include "foundation/base/Memory.h"
#include "foundation/base/Trace.h"

#include <string>
#include <vector>

// While alive, every allocation of at least minimumBytes fails.
class FailingAllocator {
public:
    explicit FailingAllocator(size_t minimumBytes) {
        s_minimum = minimumBytes;
        Memory::SetFailureHook([](size_t bytes) { return bytes >= s_minimum; });
    }
    ~FailingAllocator() { Memory::SetFailureHook(nullptr); }
    FailingAllocator(const FailingAllocator&) = delete;
    FailingAllocator& operator=(const FailingAllocator&) = delete;

private:
    static inline size_t s_minimum = 0;
};

class TraceRecorder {
public:
    TraceRecorder() {
        s_current = this;
        SetTraceSink([](const char* message) { s_current->messages.push_back(message); });
    }
    ~TraceRecorder() {
        SetTraceSink(nullptr);
        s_current = nullptr;
    }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;
    std::vector<std::string> messages;

private:
    static inline TraceRecorder* s_current = nullptr;
};
