#pragma once
// A small COM smart pointer: the only place that calls AddRef/Release.

#include <objbase.h>

template <typename T>
class CComPtr {
public:
    CComPtr() = default;
    // Takes a reference of its own.
    CComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CComPtr(const CComPtr& o) : CComPtr(o.m_p) {}
    CComPtr(CComPtr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ~CComPtr() { Reset(); }
    CComPtr& operator=(const CComPtr& o) {
        if (o.m_p) o.m_p->AddRef();
        Reset();
        m_p = o.m_p;
        return *this;
    }
    CComPtr& operator=(CComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            m_p = o.m_p;
            o.m_p = nullptr;
        }
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out-parameters: releases what is held, then hands out the slot.
    T** Put() {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Adopts a reference the caller already owns.
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    T* Detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    void Reset() {
        if (m_p) {
            T* p = m_p;
            m_p = nullptr;
            p->Release();
        }
    }

    template <typename U>
    HRESULT As(CComPtr<U>* out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), out->PutVoid());
    }

private:
    T* m_p = nullptr;
};
