#include "maintenance/crash/ReportUpload.h"

#include "foundation/settings/SettingsTestKey.h"

#include <gtest/gtest.h>

#include <cwchar>

TEST(ReportUpload, HostAndPort) {
    struct Case {
        const wchar_t* text;
        const wchar_t* host;
        WORD port;
    };
    const Case cases[] = {
        {L"198.51.100.20", L"198.51.100.20", 80},
        {L"127.0.0.1:8080", L"127.0.0.1", 8080},
        {L"localhost:65535", L"localhost", 65535},
        // Not a port: the text stays the host, which then simply cannot be reached.
        {L"localhost:0", L"localhost:0", 80},
        {L"localhost:65536", L"localhost:65536", 80},
        {L"localhost:+80", L"localhost:+80", 80},
        {L"localhost:8o", L"localhost:8o", 80},
        {L"localhost:", L"localhost:", 80},
        {L"::1", L"::1", 80},
        {L"", L"", 80},
    };
    for (const Case& c : cases) {
        C_String host;
        WORD port = 0;
        ASSERT_TRUE(SplitHostPort(c.text, 80, host, port));
        EXPECT_STREQ(host.c_str(), c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
}

TEST(ReportUpload, TheServerCanBeMovedOnlyToThisMachine) {
    struct Case {
        const wchar_t* stored; // null: no value
        const wchar_t* expected;
    };
    const Case cases[] = {
        {nullptr, kReportHost},
        {L"", kReportHost},
        {L"127.0.0.1:5000", L"127.0.0.1:5000"},
        {L"localhost", L"localhost"},
        {L"evil.example:80", kReportHost},
        {L"127.0.0.1.evil.example", kReportHost},
        {L"user@127.0.0.1", kReportHost},
        {L"127.0.0.1/elsewhere", kReportHost},
    };
    for (const Case& c : cases) {
        SettingsTestKey key;
        if (c.stored) {
            ASSERT_TRUE(key.SetRaw(kReportServerValue, REG_SZ, c.stored, DWORD((wcslen(c.stored) + 1) * 2)));
        }
        C_String host;
        ASSERT_TRUE(ResolveReportHost(HKEY_CURRENT_USER, key.Path(), host));
        EXPECT_STREQ(host.c_str(), c.expected) << (c.stored ? c.stored : L"(none)");
    }
}
