#include "maintenance/crash/ReportDialog.h"

#include <gtest/gtest.h>

TEST(ReportDialog, WebAddressFromAVersionText) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expected; // null: no address
    };
    const Case cases[] = {
        {L"Velto - Serial Terminal [http://www.brannick.example/velto]", L"http://www.brannick.example/velto"},
        {L"see HTTP://Example.org/ for more", L"HTTP://Example.org/ for more"},
        {L"[http://example.org/]", L"http://example.org"},
        {L"https://example.org", nullptr},
        {L"", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        C_String address;
        EXPECT_EQ(ExtractWebAddress(c.text, address), c.expected != nullptr) << (c.text ? c.text : L"(null)");
        if (c.expected) {
            EXPECT_STREQ(address.c_str(), c.expected);
        }
    }
}
