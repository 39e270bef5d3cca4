#pragma once
// Inside the line store: what one AppendText call carries from character to character until it notifies the
// window. Dropping lines in the middle of a call moves its cell and line numbers with the cells.
#include "terminal/store/LineStore.h"

#include <cstdint>

struct C_LineStore::AppendState {
    bool show = true;          // the text passes the filter
    uint32_t segmentStart = 0; // where the visible segment under construction begins
    bool structureChanged = false;
    bool hiddenLine = false;
    uint32_t rewrapLine = UINT32_MAX; // first line whose rows must be rebuilt, none when UINT32_MAX
};
