// What a port button's menu offers in each state of its port, as the user sees each item: greyed or not, checked
// or not.
#include "ui/window/PortMenu.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each item as "+" (enabled) or "-" (greyed), followed by "v" when checked: line settings, tag, DTR, RTS, break,
// reset pulse.
std::string Shown(const PortMenu::Facts& facts) {
    PortMenu::Entry entries[PortMenu::kEntryCount];
    PortMenu::Entries(facts, entries);
    std::string shown;
    for (const PortMenu::Entry& entry : entries)
        shown += std::string(shown.empty() ? "" : " ") + (entry.enabled ? "+" : "-") + (entry.checked ? "v" : "");
    return shown;
}

TEST(PortMenuTest, LineItemsOnlyForTheOpenSerialPortAndHandshakeLinesLeftToTheDriver) {
    struct Case {
        const char* port;
        bool hasLine, open;
        uint8_t flow, raised, pulsed;
        const char* shown;
    } cases[] = {
        {"closed serial port", true, false, FLOW_NONE, 0, LINE_DTR, "+ + - - - -"},
        {"open, both raised", true, true, FLOW_NONE, kBothModemLines, LINE_DTR, "+ + +v +v + +"},
        {"open, DTR dropped", true, true, FLOW_NONE, LINE_RTS, LINE_DTR, "+ + + +v + +"},
        {"RTS/CTS: RTS is the driver's", true, true, FLOW_RTS_CTS, LINE_DTR, kBothModemLines, "+ + +v - + +"},
        {"DSR/DTR, pulse on DTR only", true, true, FLOW_DSR_DTR, LINE_RTS, LINE_DTR, "+ + - +v + -"},
        {"open pipe: no line", false, true, FLOW_NONE, 0, LINE_DTR, "- + - - - -"},
    };
    for (const Case& c : cases) {
        PortMenu::Facts facts;
        facts.hasLine = c.hasLine;
        facts.open = c.open;
        facts.line.flowControl = c.flow;
        facts.line.raisedLines = c.raised;
        facts.line.pulseLines = c.pulsed;
        EXPECT_EQ(Shown(facts), c.shown) << c.port;
    }
}

} // namespace
