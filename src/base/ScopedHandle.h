#pragma once
// Owners of kernel handles and loaded modules: each closes what it holds when it goes out of
// scope, so no error path leaks a handle.

#include <windows.h>

#include <utility>

class CScopedHandle {
public:
    CScopedHandle() = default;
    explicit CScopedHandle(HANDLE handle) : handle_(handle) {}
    ~CScopedHandle() { Close(); }
    CScopedHandle(CScopedHandle&& other) noexcept : handle_(other.Release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    // Both conventions of failure: CreateFileW gives INVALID_HANDLE_VALUE, most others null.
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        Close();
        handle_ = handle;
    }

private:
    void Close() {
        if (IsValid()) CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE handle_ = nullptr;
};

class CScopedModule {
public:
    explicit CScopedModule(HMODULE module) : module_(module) {}
    ~CScopedModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    CScopedModule(const CScopedModule&) = delete;
    CScopedModule& operator=(const CScopedModule&) = delete;

    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};
