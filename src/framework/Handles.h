// Owners for kernel, registry and menu handles: closed exactly once, null when unused.
#pragma once

#include "Afx.h"

#include <utility>

// Owns one handle of type T; Free is the call that closes it.
template <class T, class Free> class CScopedHandle {
  public:
    CScopedHandle() = default;
    explicit CScopedHandle(T handle) : m_h(handle) {}
    ~CScopedHandle() { Close(); }
    CScopedHandle(CScopedHandle&& other) noexcept : m_h(other.Release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = other.Release();
        }
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    T Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    T Release() { return std::exchange(m_h, nullptr); }
    void Close() {
        if (m_h)
            Free()(Release());
    }

  protected:
    T m_h = nullptr;
};

struct CKernelHandleFree {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct CRegKeyFree {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
struct CMenuFree {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};

// A kernel handle (event, thread, process, mutex, timer). Invalid and null both mean none.
class CHandle : public CScopedHandle<HANDLE, CKernelHandleFree> {
  public:
    CHandle() = default;
    explicit CHandle(HANDLE handle) : CScopedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    void Reset(HANDLE handle = nullptr) {
        Close();
        m_h = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
};

// An open registry key.
class CRegKey : public CScopedHandle<HKEY, CRegKeyFree> {
  public:
    LONG Create(HKEY parent, const char* subKey) {
        Close();
        return ::RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                 nullptr, &m_h, nullptr);
    }
    LONG Open(HKEY parent, const char* subKey, REGSAM access) {
        Close();
        return ::RegOpenKeyExA(parent, subKey, 0, access, &m_h);
    }
};

// A menu loaded from the resources and not attached to any window.
using CMenuHandle = CScopedHandle<HMENU, CMenuFree>;
