#pragma once
// Where exported bytes go: a file for the Save command, standard output or a file for the command-line
// tool, memory for tests. False when the bytes could not all be written.
#include "foundation/base/File.h"

#include <cstdint>

class C_ByteSink {
public:
    virtual bool Write(const void* data, uint32_t size) = 0;

protected:
    ~C_ByteSink() = default;
};

class C_FileSink final : public C_ByteSink {
public:
    explicit C_FileSink(C_File& file) : m_file(file) {}
    bool Write(const void* data, uint32_t size) override { return m_file.Write(size, data) == 1; }

private:
    C_File& m_file;
};
