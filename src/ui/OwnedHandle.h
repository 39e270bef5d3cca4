#pragma once
// Move-only ownership of a system handle with its matching release function (icons, GDI objects, registry
// keys). The handle is released when the owner is destroyed or given another handle.
#include <windows.h>

template <class Handle, class Result, Result(WINAPI* Release)(Handle)> class C_OwnedHandle {
public:
    C_OwnedHandle() = default;
    explicit C_OwnedHandle(Handle handle) : m_handle(handle) {}
    ~C_OwnedHandle() { Reset(); }
    C_OwnedHandle(const C_OwnedHandle&) = delete;
    C_OwnedHandle& operator=(const C_OwnedHandle&) = delete;
    C_OwnedHandle(C_OwnedHandle&& other) noexcept : m_handle(other.Detach()) {}
    C_OwnedHandle& operator=(C_OwnedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    void Reset(Handle handle = nullptr) {
        if (m_handle && m_handle != handle)
            Release(m_handle);
        m_handle = handle;
    }
    Handle Detach() {
        Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Handle m_handle = nullptr;
};

using C_IconHandle = C_OwnedHandle<HICON, BOOL, DestroyIcon>;
using C_RegistryKey = C_OwnedHandle<HKEY, LONG, RegCloseKey>;
