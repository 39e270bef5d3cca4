#include "platform/system/UrlProtocolHandler.h"

#include <gtest/gtest.h>

#include <string>

// Only links that cannot start anything are tried here: each is refused before the handler is asked.
TEST(UrlProtocolHandler, RefusesLinksThatWouldNotReachTheHandlerWhole) {
    const std::wstring tooLong = L"http://example.org/" + std::wstring(UrlProtocolHandler::kMaxLinkLength, L'a');
    const wchar_t* refused[] = {nullptr,
                                L"",
                                L"http://example.org/a b",
                                L"http://example.org/\"calc",
                                L"http://example.org/\tx",
                                L"http://example.org/\r\nx",
                                tooLong.c_str()};
    for (const wchar_t* link : refused)
        EXPECT_FALSE(UrlProtocolHandler::Open(link)) << (link ? testing::PrintToString(std::wstring(link)) : "null");
}
