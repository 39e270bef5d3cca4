// Whether a downloaded file may take the running program's place: the test program itself is a runnable image
// for this machine; spoiled copies of it, and files that are no programs at all, are not.
#include "platform/formats/ProgramImage.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

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
    const size_t machine = headers + 4;
    const size_t characteristics = headers + 4 + 18;
    const size_t optionalMagic = headers + 4 + sizeof(IMAGE_FILE_HEADER);
    uint16_t flags = 0;
    memcpy(&flags, program.data() + characteristics, sizeof flags);
    struct Case {
        const char* name;
        std::string bytes;
        ProgramImage expected;
    } cases[] = {
        {"this program", program, ProgramImage::Runnable},
        {"a page of text", "this is not a program", ProgramImage::NotAProgram},
        {"empty", "", ProgramImage::NotAProgram},
        {"cut short", program.substr(0, program.size() / 2), ProgramImage::NotAProgram},
        {"headers only", program.substr(0, 1024), ProgramImage::NotAProgram},
        {"for another processor", WithWord(program, machine, IMAGE_FILE_MACHINE_AMD64), ProgramImage::OtherMachine},
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

// The tests carry no version resource, so any version asked for is another one; a program with the version
// asked for passes in the update's tests.
TEST(ProgramImage, AVersionAskedForMustBeInTheVersionResource) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(CheckProgramImage(path, L"1.40"), ProgramImage::OtherVersion);
    EXPECT_EQ(CheckProgramImage(path, nullptr), ProgramImage::Runnable);
}

} // namespace
