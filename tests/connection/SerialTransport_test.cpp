#include "connection/SerialTransport.h"

#include "SerialTestHost.h"
#include "ThreadTestSupport.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

// These tests run against real pseudo-terminal pairs that Wine opens as COM ports (scripts/virtual-port). What
// Wine does differently from Windows on such a port, and how the tests deal with it:
// - A comm-event wait never stays pending: Wine polls the modem lines, which a pseudo-terminal does not have,
//   and ends the wait within milliseconds without an event. So a read step rarely times out; it wakes, finds
//   the queue empty and counts that as an idle wait.
// - A vanished pair does not fail the mask setting (Windows: ERROR_BAD_COMMAND or ERROR_ACCESS_DENIED); the
//   queue query fails with ERROR_NOT_READY instead, which the read step also takes for a removed device.
// - Parity cannot be seen on a pseudo-terminal (the kernel clears the parity-enable bit); the parity-check and
//   odd/mark bits that Wine sets alongside it can.
namespace {

constexpr unsigned kPortNumber = 41; // the connection tests own COM41 to COM48 of their build's prefix
constexpr wchar_t kMissingPort[] = L"\\\\.\\COM48";

bool WriteAll(HANDLE end, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(end, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

// Reads from the device end until size bytes came or the limit passed.
std::string ReadFromDevice(HANDLE end, size_t size, DWORD limitMs = kGenerousWait) {
    std::string bytes;
    const DWORD start = GetTickCount();
    char buffer[4096];
    while (bytes.size() < size && GetTickCount() - start < limitMs) {
        DWORD count = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, size - bytes.size()));
        if (!ReadFile(end, buffer, want, &count, nullptr))
            break;
        bytes.append(buffer, count);
    }
    return bytes;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

bool Contains(const std::string& text, const std::string& word) {
    return (" " + text + " ").find(" " + word + " ") != std::string::npos ||
           text.find(" " + word + "\n") != std::string::npos || text.find("\n" + word + " ") != std::string::npos;
}

class SerialTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = std::make_unique<VirtualPort>(kPortNumber);
        ASSERT_TRUE(port->IsReady()) << port->Problem();
        transport.Start();
    }
    void TearDown() override {
        transport.Close();
        transport.Stop();
    }

    bool OpenPort() { return transport.Open(port->DevicePath().c_str(), description); }

    // Runs read steps on this thread until done() holds; false when the limit passed or a step ended the
    // connection (ended tells which).
    bool StepUntil(const std::function<bool()>& done, bool* ended = nullptr, DWORD limitMs = kGenerousWait) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > limitMs)
                return false;
            if (!transport.ReadStep()) {
                if (ended)
                    *ended = true;
                return done();
            }
        }
        return true;
    }

    std::unique_ptr<VirtualPort> port;
    SerialTestHost host;
    C_SerialTransport transport{host};
    C_String description;
};

} // namespace

TEST(SerialDescription, NamesBaudWordParityAndStopBits) {
    struct Case {
        DWORD baud;
        BYTE parity, stopBits;
        const wchar_t* text;
    } cases[] = {
        {115200, NOPARITY, ONESTOPBIT, L"115200 baud 8N1"}, {9600, EVENPARITY, ONE5STOPBITS, L"9600 baud 8E1.5"},
        {300, ODDPARITY, TWOSTOPBITS, L"300 baud 8O2"},     {9600, MARKPARITY, ONESTOPBIT, L"9600 baud 81"},
        {9600, SPACEPARITY, 7, L"9600 baud 8"},
    };
    for (const Case& c : cases) {
        C_String text;
        ASSERT_TRUE(C_SerialTransport::Describe({c.baud, c.parity, c.stopBits}, text));
        EXPECT_STREQ(text.c_str(), c.text);
    }
}

TEST_F(SerialTransportTest, OpensADevicePathAndKeepsItsNameAfterClosing) {
    host.line = {57600, NOPARITY, ONESTOPBIT};
    ASSERT_TRUE(OpenPort()) << "error " << GetLastError();
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_STREQ(transport.GetName(), port->DevicePath().c_str());
    EXPECT_STREQ(description.c_str(), L"57600 baud 8N1");
    ASSERT_EQ(host.Statuses().size(), 1u);
    EXPECT_EQ(host.Statuses()[0].first, STATUS_OPENING);
    EXPECT_EQ(host.Statuses()[0].second, port->DevicePath());
    transport.Close();
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_STREQ(transport.GetName(), port->DevicePath().c_str());
}

TEST_F(SerialTransportTest, OpenFailsForAMissingOrUnmatchedPortButStillDescribesTheLine) {
    host.line = {9600, EVENPARITY, ONE5STOPBITS};
    EXPECT_FALSE(transport.Open(kMissingPort, description));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the create's own error is kept";
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_STREQ(description.c_str(), L"9600 baud 8E1.5");

    // A bare name is only a match through the port list; without one nothing is opened and no system call
    // disturbs the last error.
    SetLastError(12345);
    EXPECT_FALSE(transport.Open(port->Name().c_str(), description));
    EXPECT_EQ(GetLastError(), 12345u);
    EXPECT_STREQ(transport.GetName(), L"");
    ASSERT_EQ(host.Statuses().size(), 2u) << "the status is shown whether or not a port matched";
    EXPECT_EQ(host.Statuses()[1].second, port->Name());
}

TEST_F(SerialTransportTest, ProbeAnswersWithoutTouchingTheOpenPort) {
    EXPECT_TRUE(transport.Probe(port->DevicePath().c_str()));
    EXPECT_FALSE(transport.Probe(kMissingPort));
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_STREQ(transport.GetName(), L"") << "a probe uses a port object of its own";
}

TEST_F(SerialTransportTest, LineSettingsReachTheDevice) {
    struct Case {
        DWORD baud;
        BYTE parity, stopBits;
        std::vector<std::string> expected; // as stty -a shows the COM end
    } cases[] = {
        {115200, NOPARITY, ONESTOPBIT, {"speed 115200 baud;", "-cstopb", "-inpck", "cs8"}},
        {9600, ODDPARITY, ONESTOPBIT, {"speed 9600 baud;", "-cstopb", "inpck", "parodd", "-cmspar"}},
        {19200, EVENPARITY, ONESTOPBIT, {"speed 19200 baud;", "inpck", "-parodd", "-cmspar"}},
        {38400, MARKPARITY, ONESTOPBIT, {"speed 38400 baud;", "inpck", "parodd", "cmspar"}},
        {4800, SPACEPARITY, ONESTOPBIT, {"speed 4800 baud;", "inpck", "-parodd", "cmspar"}},
        {2400, NOPARITY, ONE5STOPBITS, {"speed 2400 baud;", "cstopb"}},
        {1200, NOPARITY, TWOSTOPBITS, {"speed 1200 baud;", "cstopb"}},
    };
    for (const Case& c : cases) {
        host.line = {c.baud, c.parity, c.stopBits};
        ASSERT_TRUE(OpenPort()) << c.baud;
        const std::string settings = port->LineSettings();
        ASSERT_FALSE(settings.empty());
        for (const std::string& word : c.expected) {
            if (word.find(' ') != std::string::npos)
                EXPECT_NE(settings.find(word), std::string::npos) << word << " in\n" << settings;
            else
                EXPECT_TRUE(Contains(settings, word)) << word << " for " << c.baud << " in\n" << settings;
        }
        transport.Close();
    }
}
