// How a send is cut into writes and pauses: the character delay, the line delay and the write limit, alone and
// together, and a CR that can only be judged by the byte after it.
#include "connection/sending/SendPacing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Pacing {
    uint32_t charDelay;
    uint32_t lineDelay;
    uint32_t writeLimit;
};

// Every write of bytes as "text/pause", offered whole and with nothing after it.
std::vector<std::string> Steps(const Pacing& pacing, const std::string& bytes) {
    const C_SendPacing pacer(pacing.charDelay, pacing.lineDelay, pacing.writeLimit);
    std::vector<std::string> steps;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (uint32_t at = 0; at < bytes.size();) {
        const SendStep step = pacer.Next(data + at, uint32_t(bytes.size()) - at, true);
        if (step.length == 0) {
            steps.push_back("stuck");
            break;
        }
        steps.push_back(bytes.substr(at, step.length) + "/" + std::to_string(step.pauseMs));
        at += step.length;
    }
    return steps;
}

} // namespace

TEST(SendPacingTest, DelaysSplitTheBytesIntoWritesAndPauses) {
    struct Case {
        Pacing pacing;
        std::string bytes;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {{0, 0, 4096}, "one\r\ntwo\n", {"one\r\ntwo\n/0"}},
        {{0, 0, 4}, "0123456789", {"0123/0", "4567/0", "89/0"}},
        {{10, 0, 4096}, "ab\n", {"a/10", "b/10", "\n/10"}},
        // A CR LF pauses once, after its LF; a CR alone and an LF alone each end a line.
        {{0, 50, 4096}, "one\r\ntwo\rthree\nfour", {"one\r\n/50", "two\r/50", "three\n/50", "four/0"}},
        {{0, 50, 4096}, "end\r", {"end\r/50"}},
        {{0, 50, 3}, "abcdef\n", {"abc/0", "def/0", "\n/50"}},
        {{10, 50, 4096}, "a\r\nb\r", {"a/10", "\r/10", "\n/60", "b/10", "\r/60"}},
        {{0, 50, 4096}, "\n\n", {"\n/50", "\n/50"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Steps(c.pacing, c.bytes), c.steps) << testing::PrintToString(c.bytes);
}

TEST(SendPacingTest, ACrAtTheEndOfWhatIsAtHandWaitsForTheNextByte) {
    const C_SendPacing lines(0, 50, 4096);
    const auto* text = reinterpret_cast<const uint8_t*>("line\r");
    SendStep step = lines.Next(text, 5, false);
    EXPECT_EQ(step.length, 4u) << "the write stops before the CR";
    EXPECT_EQ(step.pauseMs, 0u);
    step = lines.Next(text + 4, 1, false);
    EXPECT_EQ(step.length, 0u) << "the CR alone cannot be judged yet";
    step = lines.Next(text + 4, 1, true);
    EXPECT_EQ(step.length, 1u);
    EXPECT_EQ(step.pauseMs, 50u) << "nothing follows: it ends a line";

    const C_SendPacing characters(10, 50, 4096);
    EXPECT_EQ(characters.Next(text + 4, 1, false).length, 0u);
    EXPECT_EQ(C_SendPacing(10, 0, 4096).Next(text + 4, 1, false).pauseMs, 10u) << "without a line delay nothing waits";
    EXPECT_EQ(lines.Next(text, 0, false).length, 0u) << "nothing at hand";
}

TEST(SendPacingTest, ASerialWriteHoldsAboutATenthOfASecondOfLineTime) {
    EXPECT_EQ(C_SendPacing::WriteLimitFor(0), C_SendPacing::kStreamWrite) << "a pipe or socket";
    EXPECT_EQ(C_SendPacing::WriteLimitFor(115200), 1152u);
    EXPECT_EQ(C_SendPacing::WriteLimitFor(9600), 96u);
    EXPECT_EQ(C_SendPacing::WriteLimitFor(300), C_SendPacing::kSmallestWrite);
    EXPECT_EQ(C_SendPacing::WriteLimitFor(100000000), C_SendPacing::kStreamWrite);
}
