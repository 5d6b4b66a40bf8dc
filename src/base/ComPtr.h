#pragma once
// Owns one reference to a COM object and releases it.

#include <unknwn.h>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(T* object) : p_(object) {  // NOLINT: takes its own reference, like assignment
        if (p_) p_->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.p_) {}
    CComPtr(CComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ~CComPtr() { Reset(); }
    CComPtr& operator=(T* object) {
        if (object) object->AddRef();
        Reset();
        p_ = object;
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) { return *this = other.p_; }
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Receive() {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    // Adopts a reference the caller already owns.
    void Attach(T* object) {
        Reset();
        p_ = object;
    }
    void Reset() {
        if (p_) {
            T* old = p_;
            p_ = nullptr;
            old->Release();
        }
    }
    template <class Q>
    HRESULT As(CComPtr<Q>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(Q), out.ReceiveVoid());
    }

private:
    T* p_ = nullptr;
};
