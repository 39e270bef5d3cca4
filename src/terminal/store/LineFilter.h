#pragma once
// Decides which stored lines are visible while a filter is set. The store asks it for every text it appends
// in filter mode and for every line when it rebuilds its layout. Implementations take their own lock; the
// store may hold its lock while asking, so an implementation must never take the store's.
#include <cstdint>

class C_LineFilter {
public:
    virtual bool LineMatchesFilter(const wchar_t* text, uint32_t length) = 0;

protected:
    ~C_LineFilter() = default;
};
