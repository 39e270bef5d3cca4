#include "platform/formats/VersionResource.h"
#include "ui/framework/ProgramTitle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

constexpr WORD kBinary = 0;
constexpr WORD kText = 1;

void PadTo4(Bytes& bytes) {
    while (bytes.size() % 4)
        bytes.push_back(0);
}

void AppendText(Bytes& bytes, const wchar_t* text) {
    const BYTE* at = reinterpret_cast<const BYTE*>(text);
    bytes.insert(bytes.end(), at, at + (wcslen(text) + 1) * sizeof(wchar_t));
}

// One node of a version resource as the resource compiler lays it out: header, key, value, children, each part
// starting on a 32-bit boundary.
Bytes Node(const wchar_t* key, const Bytes& value, WORD valueLength, WORD type, const std::vector<Bytes>& children) {
    Bytes node(6, 0);
    AppendText(node, key);
    PadTo4(node);
    node.insert(node.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        PadTo4(node);
        node.insert(node.end(), child.begin(), child.end());
    }
    WORD header[3] = {WORD(node.size()), valueLength, type};
    memcpy(node.data(), header, sizeof header);
    return node;
}

Bytes String(const wchar_t* name, const wchar_t* text) {
    Bytes value;
    AppendText(value, text);
    return Node(name, value, WORD(wcslen(text) + 1), kText, {});
}

Bytes StringTable(const wchar_t* block, const std::vector<Bytes>& strings) {
    return Node(block, {}, 0, kText, strings);
}

Bytes VersionInfo(WORD major, WORD minor, const std::vector<Bytes>& tables) {
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = MAKELONG(minor, major);
    Bytes value(reinterpret_cast<BYTE*>(&fixed), reinterpret_cast<BYTE*>(&fixed) + sizeof fixed);
    std::vector<Bytes> children;
    if (!tables.empty())
        children.push_back(Node(L"StringFileInfo", {}, 0, kText, tables));
    return Node(L"VS_VERSION_INFO", value, WORD(sizeof fixed), kBinary, children);
}

std::wstring TitleFor(const Bytes& block) {
    C_VersionResource resource;
    C_String title;
    bool attached = resource.Attach(block.data(), DWORD(block.size()));
    EXPECT_TRUE(
        FormatProgramTitle(L"Velto - Serial Terminal", ReadProgramVersion(attached ? &resource : nullptr), title));
    return title.c_str();
}

TEST(ProgramTitleTest, GermanVersionTextComesFirst) {
    Bytes block = VersionInfo(9, 9,
                              {StringTable(L"040904B0", {String(L"FileVersion", L"1.37.0.0")}),
                               StringTable(L"040704B0", {String(L"FileVersion", L"2.5.0.0")})});
    EXPECT_EQ(TitleFor(block), L"Velto - Serial Terminal [2.05]");
}

TEST(ProgramTitleTest, EnglishVersionTextWhenThereIsNoGermanOne) {
    Bytes block = VersionInfo(
        9, 9, {StringTable(L"040904b0", {String(L"ProductName", L"Velto"), String(L"FileVersion", L"1.37")})});
    EXPECT_EQ(TitleFor(block), L"Velto - Serial Terminal [1.37]");
}

TEST(ProgramTitleTest, FixedVersionWithoutAUsableText) {
    EXPECT_EQ(TitleFor(VersionInfo(4, 2, {})), L"Velto - Serial Terminal [4.02]");
    // The comma form of resource scripts does not hold "major.minor": the fixed version is the better answer.
    Bytes commas = VersionInfo(3, 14, {StringTable(L"040904B0", {String(L"FileVersion", L"1, 37, 0, 0")})});
    EXPECT_EQ(TitleFor(commas), L"Velto - Serial Terminal [3.14]");
}

TEST(ProgramTitleTest, MissingOrDamagedResourceShowsVersion101) {
    EXPECT_EQ(TitleFor({}), L"Velto - Serial Terminal [1.01]");
    Bytes damaged = VersionInfo(2, 0, {});
    damaged[0] = 0xFF; // a length beyond the data
    damaged[1] = 0x7F;
    EXPECT_EQ(TitleFor(damaged), L"Velto - Serial Terminal [1.01]");
}

TEST(ProgramTitleTest, TheProgramsOwnVersionResource) {
    C_String title, expected;
    ASSERT_TRUE(FormatProgramTitle(L"Velto", title));
    expected.Format(L"Velto [%u.%02u]", unsigned(VELTO_VERSION_MAJOR), unsigned(VELTO_VERSION_MINOR));
    EXPECT_STREQ(title.c_str(), expected.c_str());

    C_VersionResource resource;
    ASSERT_TRUE(resource.Load(GetModuleHandleW(nullptr)));
    ASSERT_NE(resource.GetString(L"040904B0", L"ProductName"), nullptr);
    EXPECT_STREQ(resource.GetString(L"040904B0", L"ProductName"), L"Velto");
    EXPECT_STREQ(resource.GetString(L"040904B0", L"InternalName"), L"Velto");
    const wchar_t* comments = resource.GetString(L"040904B0", L"Comments");
    ASSERT_NE(comments, nullptr);
    EXPECT_NE(wcsstr(comments, L"http://"), nullptr); // the problem report's web address
}

TEST(VersionResourceTest, TextsMustEndInsideTheirNode) {
    const wchar_t unterminated[] = {L'7', L'.', L'7'};
    Bytes value(reinterpret_cast<const BYTE*>(unterminated), reinterpret_cast<const BYTE*>(unterminated + 3));
    Bytes block = VersionInfo(
        5, 6,
        {StringTable(L"040904B0", {Node(L"FileVersion", value, 3, kText, {}), String(L"ProductName", L"Velto")})});
    C_VersionResource resource;
    ASSERT_TRUE(resource.Attach(block.data(), DWORD(block.size())));
    EXPECT_EQ(resource.GetString(L"040904B0", L"FileVersion"), nullptr);
    EXPECT_STREQ(resource.GetString(L"040904B0", L"ProductName"), L"Velto");
    EXPECT_EQ(resource.GetString(L"040904B0", L"Missing"), nullptr);
    EXPECT_EQ(resource.GetString(L"040704B0", L"ProductName"), nullptr);
    EXPECT_EQ(ReadProgramVersion(&resource).minor, 6u); // the unreadable text gives way to the fixed version
}

} // namespace
