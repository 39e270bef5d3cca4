#include "connection/sockets/SocketText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Endpoint {
    std::wstring host;
    uint16_t port;
};

Endpoint Crack(const wchar_t* target, uint16_t defaultPort) {
    C_String host;
    uint16_t port = 0;
    EXPECT_TRUE(CrackUrl(target, defaultPort, host, port));
    return {host.c_str(), port};
}

TEST(CrackUrlTest, TakesHostAndPortAndFallsBackToTheDefaultPort) {
    Endpoint plain = Crack(L"tcp://192.168.0.7", 23);
    EXPECT_EQ(L"192.168.0.7", plain.host);
    EXPECT_EQ(23, plain.port);

    Endpoint withPort = Crack(L"tcp://192.168.0.7:2001", 23);
    EXPECT_EQ(L"192.168.0.7", withPort.host);
    EXPECT_EQ(2001, withPort.port);

    Endpoint anyInterface = Crack(L"udp://0.0.0.0", 9999);
    EXPECT_EQ(L"0.0.0.0", anyInterface.host);
    EXPECT_EQ(9999, anyInterface.port);

    Endpoint named = Crack(L"TCP://Converter.local:4001", 23);
    EXPECT_EQ(L"Converter.local", named.host) << "the host is used as written";
    EXPECT_EQ(4001, named.port);
}

TEST(CrackUrlTest, UnsplittableTextLeavesTheHostEmpty) {
    C_String host;
    host.Assign(L"stale");
    uint16_t port = 0;
    // Wine's splitter takes a port of letters as no port and wraps 99999 to 34463, so the refusal shown here is
    // a host longer than any host name (the buffer given for it is too small).
    const std::wstring tooLong = L"tcp://" + std::wstring(300, L'h') + L":23";
    EXPECT_TRUE(CrackUrl(tooLong.c_str(), 23, host, port));
    EXPECT_TRUE(host.IsEmpty());
}

TEST(CrackUrlTest, BracketedIPv6HostLosesItsBrackets) {
    Endpoint literal = Crack(L"tcp://[::1]:2001", 23);
    EXPECT_EQ(L"::1", literal.host) << "the brackets only delimit the port; no lookup accepts them";
    EXPECT_EQ(2001, literal.port);
}

std::string Strip(std::initializer_list<int> bytes) {
    std::string block;
    for (int byte : bytes)
        block += char(byte);
    const uint32_t offset =
        SkipTelnetNegotiation(reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()));
    return block.substr(offset);
}

TEST(TelnetTest, SkipsOnlyWholeNegotiationsAtTheFront) {
    EXPECT_EQ("AB", Strip({0xFF, 0xFB, 0x01, 0xFF, 0xFD, 0x03, 0x41, 0x42}));
    EXPECT_EQ("A\xFF\xFD\x03", Strip({0xFF, 0xFB, 0x01, 0x41, 0xFF, 0xFD, 0x03}));
    EXPECT_EQ("", Strip({0xFF, 0xFB, 0x01}));
    EXPECT_EQ("\xFF\xFE", Strip({0xFF, 0xFC, 0x01, 0xFF, 0xFC, 0x01, 0xFF, 0xFE}))
        << "a truncated negotiation at the end stays";
    EXPECT_EQ("\xFF\xFA\x18\x01", Strip({0xFF, 0xFA, 0x18, 0x01})) << "sub-negotiation is not skipped";
    EXPECT_EQ("\xFF\xFF\x41", Strip({0xFF, 0xFF, 0x41})) << "an escaped 255 is data";
    EXPECT_EQ(0u, SkipTelnetNegotiation(nullptr, 5));
}

std::wstring Render(const wchar_t* event) {
    C_String text, line;
    text.Assign(event);
    line.Assign(L"untouched");
    if (!RenderLog4jEvent(text, line))
        return L"(not an event: " + std::wstring(line.c_str()) + L")";
    return line.c_str();
}

TEST(Log4jTest, RendersLevelLoggerAndMessage) {
    EXPECT_EQ(L"INFO|app.main|Started\r\n",
              Render(L"<log4j:event logger=\"app.main\" timestamp=\"1\" level=\"INFO\" thread=\"main\">"
                     L"<log4j:message>Started</log4j:message></log4j:event>"));
    EXPECT_EQ(L"DEBUG|x.y|Multi\r\nline\r\n",
              Render(L"<LOG4J:EVENT LOGGER=\"x.y\" LEVEL=\"DEBUG\"><LOG4J:MESSAGE>Multi\r\nline"
                     L"</LOG4J:MESSAGE></LOG4J:EVENT>"))
        << "markers are found ignoring case";
    EXPECT_EQ(L"INFO|a|&lt;b&gt;\r\n",
              Render(L"<log4j:event logger=\"a\" level=\"INFO\"><log4j:message>&lt;b&gt;</log4j:message>"))
        << "character references stay as they are";
}

TEST(Log4jTest, EmptyPartsAreLeftOutWithTheirSeparator) {
    EXPECT_EQ(L"WARN|app.db\r\n", Render(L"<log4j:event logger=\"app.db\" level=\"WARN\"><log4j:message />"
                                         L"<log4j:NDC>n</log4j:NDC></log4j:event>"));
    EXPECT_EQ(L"app.db|text\r\n", Render(L"<log4j:event logger=\"app.db\" level=\"\"><log4j:message>text"
                                         L"</log4j:message></log4j:event>"));
    EXPECT_EQ(L"WARN|app.db| trailing \r\n",
              Render(L"<log4j:event logger=\"app.db\" level=\"WARN\"><log4j:message /> trailing </log4j:event>"));
}

TEST(Log4jTest, AnythingElseIsNotAnEvent) {
    const wchar_t* const notEvents[] = {
        L"plain text\r\n",
        L"<log4j:event logger=\"a\"><log4j:message>m</log4j:message></log4j:event>",   // no level
        L"<log4j:event level=\"INFO\"><log4j:message>m</log4j:message></log4j:event>", // no logger
        L"<log4j:event logger=\"a\" level=\"INFO\"></log4j:event>",                    // no message
        L"<log4j:event logger=\"a\" level=\"INFO\"><log4j:message>unterminated",
        L"<log4j:event logger=\"a\" level=\"INFO\"><log4j:message /> no next tag",
        L"",
    };
    for (const wchar_t* text : notEvents)
        EXPECT_EQ(L"(not an event: untouched)", Render(text)) << text;
}

} // namespace
