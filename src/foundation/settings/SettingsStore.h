#pragma once
// C_SettingsStore: the four operations through which options and port tags are read and written. C_Settings is
// the real store; anything that only needs values (the persisted options, the tags) takes this, so its tests can
// hand in an in-memory or recording store.
//
// A section names a group below the store's base path ("Tags"); null means the base path itself. Reads never
// fail: a missing value gives the caller's default.
#include "foundation/base/TextString.h"

#include <cstdint>

class C_SettingsStore {
public:
    virtual uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const = 0;
    virtual bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) = 0;
    // True when a stored value was found; otherwise dest holds the default (empty when it is null).
    virtual bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                            const wchar_t* section = nullptr) const = 0;
    virtual bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) = 0;
    // Removes a value, so reading it gives the default again; true also when there was none. A store that
    // cannot remove values answers false and keeps them.
    virtual bool DeleteValue(const wchar_t* /*name*/, const wchar_t* /*section*/ = nullptr) { return false; }

protected:
    ~C_SettingsStore() = default;
};
