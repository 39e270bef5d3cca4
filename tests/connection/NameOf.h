#pragma once
// The name a port, transport or connection answers, as a std::wstring for comparisons in tests.
#include "foundation/base/TextString.h"

#include <string>

template <class Named> std::wstring NameOf(const Named& named) {
    C_String name;
    named.GetName(name);
    return name.c_str();
}
