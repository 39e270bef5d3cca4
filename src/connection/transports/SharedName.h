#pragma once
// C_SharedName: a name that the command thread sets while the user-interface and probe threads read it. Readers
// get a copy taken under the lock, never a pointer into storage that the next Set may overwrite or reallocate.
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"

class C_SharedName {
public:
    C_SharedName() = default;
    C_SharedName(const C_SharedName&) = delete;
    C_SharedName& operator=(const C_SharedName&) = delete;

    // A null name empties it; so does a copy that cannot be stored (then the result is false).
    bool Set(const wchar_t* name) {
        C_Lock hold(m_lock);
        if (name && m_name.Assign(name))
            return true;
        m_name.Empty();
        return name == nullptr;
    }
    // False, with out empty, when the copy cannot be made.
    bool CopyTo(C_String& out) const {
        C_Lock hold(m_lock);
        if (out.Assign(m_name))
            return true;
        out.Empty();
        return false;
    }
    bool IsEmpty() const {
        C_Lock hold(m_lock);
        return m_name.IsEmpty();
    }

private:
    mutable C_CriticalSection m_lock;
    C_String m_name;
};
