#pragma once
// The one owner of a handle of any kind: it closes what it holds when it goes out of scope
// or takes another, so no error path leaks a handle. A traits type names the handle type,
// its empty value, which values are real handles, and how to close one:
//
//   struct KernelHandleTraits {
//       using Handle = HANDLE;
//       static Handle Empty() { return nullptr; }
//       static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
//       static void Close(Handle h) { ::CloseHandle(h); }
//   };
//   using CScopedHandle = CUniqueHandle<KernelHandleTraits>;
//
// Most kinds are empty when null and close with one function: NullableHandleTraits.
//
//   using CScopedModule = CUniqueHandle<NullableHandleTraits<HMODULE, &::FreeLibrary>>;
//
// The handle types of the program are in this folder: ScopedHandle.h (kernel objects,
// modules), GdiHandles.h, WinInetHandle.h, ShellItemList.h, and ComPtr.h for COM objects.

#include <utility>

template <class Traits>
class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle handle) : handle_(handle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept : handle_(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return handle_; }
    // Gives the handle up: closing it is the caller's business from now on.
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Handle handle = Traits::Empty()) {
        Handle old = std::exchange(handle_, handle);
        if (Traits::IsValid(old)) Traits::Close(old);
    }
    // For out-parameters: closes what is held and hands out the slot.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Empty();
};

// A handle kind that is empty when null.
template <class HandleType>
struct NullableHandle {
    using Handle = HandleType;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
};

// ... and is closed by one function of the system.
template <class HandleType, auto CloseFunction>
struct NullableHandleTraits : NullableHandle<HandleType> {
    static void Close(HandleType handle) { CloseFunction(handle); }
};

// The base of guards that undo something when their scope ends: they are never copied.
class CNoCopy {
public:
    CNoCopy(const CNoCopy&) = delete;
    CNoCopy& operator=(const CNoCopy&) = delete;

protected:
    CNoCopy() = default;
    ~CNoCopy() = default;
};
