// Window components decided by arithmetic: the layout manager's placements and the edit field icon's size.
#include "platform/EditIcon.h"
#include "platform/LayoutManager.h"

#include <gtest/gtest.h>

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(LayoutManagerTest, EdgesKeepTheirDistancesToTheEdgesTheyFollow) {
    using L = C_LayoutManager;
    const RECT original{10, 40, 390, 260};
    const SIZE before{400, 300}, after{600, 500};
    const struct {
        unsigned rules;
        RECT expected;
    } cases[] = {
        {0, {10, 40, 390, 260}},
        {L::RULE_STRETCH_WIDTH | L::RULE_STRETCH_HEIGHT, {10, 40, 590, 460}}, // the terminal view
        {L::RULE_STRETCH_WIDTH | L::RULE_MOVE_DOWN, {10, 240, 590, 460}},     // the filter field
        {L::RULE_MOVE_RIGHT, {210, 40, 590, 260}},
        {L::RULE_MOVE_RIGHT | L::RULE_MOVE_DOWN, {210, 240, 590, 460}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(L::Place(original, before, c.rules, after) == c.expected) << "rules " << c.rules;
    // Made smaller than the layout allows, a stretched control shrinks to nothing rather than turning over.
    const RECT tiny = L::Place(original, before, L::RULE_STRETCH_WIDTH | L::RULE_STRETCH_HEIGHT, SIZE{5, 5});
    EXPECT_EQ(tiny.right, tiny.left);
    EXPECT_EQ(tiny.bottom, tiny.top);
}

TEST(EditIconTest, SizeIsSevenTenthsOfTheFieldPlusFourCutToEights) {
    const struct {
        int height;
        int size;
    } cases[] = {{21, 16}, {24, 16}, {29, 24}, {40, 32}, {5, 8}, {0, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(C_EditIcon::IconSize(c.height), c.size) << "height " << c.height;
}

} // namespace
