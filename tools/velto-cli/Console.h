#pragma once
// Standard output and standard error of the console program. Output is written as raw bytes (exports are
// byte-exact); messages on standard error are single lines in the ANSI code page.
#include "terminal/export/ByteSink.h"

#include <string>

class C_StandardOutput final : public C_ByteSink {
public:
    bool Write(const void* data, uint32_t size) override;
};

namespace Console {

void Error(const std::wstring& line);
void Print(const std::wstring& text); // help text on standard output

} // namespace Console
