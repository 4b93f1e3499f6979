#pragma once
// Move-only owners for Win32 and GDI+ objects. Copying one must not compile:
// a copyable guard will one day free twice.
#include <windows.h>

#include <utility>

namespace vantrel::win {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return Traits::valid(value_); }
    T release() { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) {
        T old = std::exchange(value_, value);
        if (Traits::valid(old)) Traits::close(old);
    }
    // For APIs that return the object through an out parameter.
    T* receive() {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::invalid();
};

struct KernelHandleTraits {
    static HANDLE invalid() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
// Event, thread, mutex or file handle; both null and INVALID_HANDLE_VALUE mean "none".
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;

struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static bool valid(HKEY h) { return h != nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};
using UniqueRegKey = UniqueResource<HKEY, RegKeyTraits>;

struct GdiObjectTraits {
    static HGDIOBJ invalid() { return nullptr; }
    static bool valid(HGDIOBJ h) { return h != nullptr; }
    static void close(HGDIOBJ h) { DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;

struct ModuleTraits {
    static HMODULE invalid() { return nullptr; }
    static bool valid(HMODULE h) { return h != nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;

struct WindowTraits {
    static HWND invalid() { return nullptr; }
    static bool valid(HWND h) { return h != nullptr; }
    static void close(HWND h) { DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<HWND, WindowTraits>;

struct HookTraits {
    static HHOOK invalid() { return nullptr; }
    static bool valid(HHOOK h) { return h != nullptr; }
    static void close(HHOOK h) { UnhookWindowsHookEx(h); }
};
// A hook set with SetWindowsHookEx; unhooked on the thread that set it.
using UniqueHook = UniqueResource<HHOOK, HookTraits>;

}  // namespace vantrel::win
