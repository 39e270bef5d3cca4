#pragma once
// The input of a subcommand: a file, or standard input when the name is "-", read a piece at a time so that
// an input of any size passes through bounded memory.
#include "foundation/base/File.h"

#include <cstdint>
#include <string>

class C_InputStream {
public:
    // False with a one-line reason when the input cannot be opened.
    bool Open(const std::wstring& name, std::wstring& error);
    // Reads up to size bytes: how many were read, 0 at the end, -1 with a one-line reason on failure.
    int64_t Read(void* buffer, uint32_t size, std::wstring& error);

private:
    C_File m_file;
    HANDLE m_standardInput = nullptr; // not ours to close
    std::wstring m_name;
};
