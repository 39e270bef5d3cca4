// Whether a downloaded file may take the running program's place: the test program itself is a runnable image
// for this machine; spoiled copies of it are not. (Text, a cut download, another processor and another version
// are in the update's tests.)
#include "platform/formats/ProgramImage.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ReadFileBytes(path);
}

uint32_t HeadersAt(const std::string& image) {
    uint32_t offset = 0;
    memcpy(&offset, image.data() + 0x3C, sizeof offset);
    return offset;
}

std::string WithWord(std::string image, size_t offset, uint16_t value) {
    image.replace(offset, sizeof value, reinterpret_cast<const char*>(&value), sizeof value);
    return image;
}

TEST(ProgramImage, OnlyAWholeProgramForThisMachineIsRunnable) {
    const std::string program = ThisProgram();
    ASSERT_GT(program.size(), 4096u);
    const uint32_t headers = HeadersAt(program);
    const size_t fileHeader = headers + sizeof(DWORD); // after the signature
    const size_t characteristics = fileHeader + offsetof(IMAGE_FILE_HEADER, Characteristics);
    const size_t optionalMagic = fileHeader + sizeof(IMAGE_FILE_HEADER);
    uint16_t flags = 0;
    memcpy(&flags, program.data() + characteristics, sizeof flags);
    struct Case {
        const char* name;
        std::string bytes;
        ProgramImage expected;
    } cases[] = {
        {"this program", program, ProgramImage::Runnable},
        {"headers only", program.substr(0, 1024), ProgramImage::NotAProgram},
        {"a 64-bit image", WithWord(program, optionalMagic, IMAGE_NT_OPTIONAL_HDR64_MAGIC), ProgramImage::OtherMachine},
        {"a library", WithWord(program, characteristics, uint16_t(flags | IMAGE_FILE_DLL)), ProgramImage::NotAProgram},
        {"no PE signature", WithWord(program, headers, 0x454E), ProgramImage::NotAProgram},
        {"headers beyond the file", WithWord(program, 0x3C, 0xFFF0), ProgramImage::NotAProgram},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        const std::wstring path = folder.Path(L"candidate.exe");
        ASSERT_TRUE(WriteFileBytes(path, c.bytes)) << c.name;
        EXPECT_EQ(CheckProgramImage(path.c_str(), nullptr), c.expected) << c.name;
    }
    EXPECT_EQ(CheckProgramImage(folder.Path(L"missing.exe").c_str(), nullptr), ProgramImage::Unreadable);
}

} // namespace
