// Owners for kernel and registry handles: closed exactly once, null when unused.
#pragma once

#include "Afx.h"

#include <utility>

// A kernel handle (event, thread, process, mutex, timer). Invalid and null both mean none.
class CHandle {
  public:
    CHandle() = default;
    explicit CHandle(HANDLE handle) : m_h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~CHandle() { Close(); }
    CHandle(CHandle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Reset(HANDLE handle = nullptr) {
        Close();
        m_h = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    HANDLE Release() { return std::exchange(m_h, nullptr); }
    void Close() {
        if (m_h) {
            ::CloseHandle(m_h);
            m_h = nullptr;
        }
    }

  private:
    HANDLE m_h = nullptr;
};

// An open registry key.
class CRegKey {
  public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(CRegKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    CRegKey& operator=(CRegKey&& other) noexcept {
        if (this != &other) {
            Close();
            m_key = std::exchange(other.m_key, nullptr);
        }
        return *this;
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    LONG Create(HKEY parent, const char* subKey) {
        Close();
        return ::RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                 nullptr, &m_key, nullptr);
    }
    LONG Open(HKEY parent, const char* subKey, REGSAM access) {
        Close();
        return ::RegOpenKeyExA(parent, subKey, 0, access, &m_key);
    }
    void Close() {
        if (m_key) {
            ::RegCloseKey(m_key);
            m_key = nullptr;
        }
    }

  private:
    HKEY m_key = nullptr;
};

// A menu loaded from the resources and not attached to any window.
class CMenuHandle {
  public:
    explicit CMenuHandle(HMENU menu = nullptr) : m_menu(menu) {}
    ~CMenuHandle() {
        if (m_menu)
            ::DestroyMenu(m_menu);
    }
    CMenuHandle(const CMenuHandle&) = delete;
    CMenuHandle& operator=(const CMenuHandle&) = delete;
    HMENU Get() const { return m_menu; }

  private:
    HMENU m_menu;
};
