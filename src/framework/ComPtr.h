// Owner of one COM interface reference: released exactly once, null when unused.
#pragma once

#include <utility>

template <class T> class CComPtr {
  public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (m_p) {
            T* p = std::exchange(m_p, nullptr);
            p->Release();
        }
    }
    // For calls that hand out a new reference (QueryInterface, CoCreateInstance).
    void** Receive() {
        Reset();
        return reinterpret_cast<void**>(&m_p);
    }

  private:
    T* m_p = nullptr;
};
