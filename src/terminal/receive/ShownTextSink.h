#pragma once
// Receives the received text the line store shows, as the store gets it: without the time stamps the program
// puts in front of lines, and while a filter is set only the lines it lets through. Lines end in '\n'; a text
// may hold several lines or part of one. Called on the reader thread (the plot's feed).
#include <cstdint>

class C_ShownTextSink {
public:
    virtual void TakeShownText(const wchar_t* text, uint32_t length) = 0;

protected:
    ~C_ShownTextSink() = default;
};
