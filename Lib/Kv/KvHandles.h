// Small non-copyable owners for Win32 handles, GDI objects and COM pointers. Each releases its
// resource exactly once, in its destructor or in reset(), so owners need no cleanup ladders.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <utility>

namespace kv {

// Generic owner: Traits::Invalid() is the empty value, Traits::Close(h) releases a valid handle.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : h_(Traits::Invalid()) {}
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }

    Handle get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) noexcept {
        if (valid()) Traits::Close(h_);
        h_ = h;
    }

private:
    Handle h_;
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
struct MapViewTraits {
    using Handle = const void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnmapViewOfFile(h); }
};
template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ImageList_Destroy(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};
struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::GlobalFree(h); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteDC(h); }
};
struct DeviceNotifyTraits {
    using Handle = HDEVNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnregisterDeviceNotification(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;      // CreateFileW results
using UniqueKernel = UniqueHandle<KernelHandleTraits>;  // mappings, mutexes, threads, events
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueMapView = UniqueHandle<MapViewTraits>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueGlobal = UniqueHandle<GlobalTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueDeviceNotify = UniqueHandle<DeviceNotifyTraits>;  // RegisterDeviceNotificationW results

// A window's device context from GetDC, released with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint/EndPaint pair.
class PaintDc {
public:
    explicit PaintDc(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    ~PaintDc() { ::EndPaint(hwnd_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const noexcept { return dc_; }
    const PAINTSTRUCT& info() const noexcept { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// Selects a GDI object into a DC and puts the previous one back on destruction.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectObjectScope() {
        if (old_) ::SelectObject(dc_, old_);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Locks a global memory block for the life of the scope.
template <typename T>
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL h) noexcept : h_(h), p_(h ? static_cast<T*>(::GlobalLock(h)) : nullptr) {}
    ~GlobalLockScope() {
        if (p_) ::GlobalUnlock(h_);
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    T* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    HGLOBAL h_;
    T* p_;
};

// Owning COM pointer: Release() once; Attach takes an existing reference, '&' hands out the slot of
// an out-parameter after releasing what was held.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr& operator=(const ComPtr& o) noexcept {
        if (o.p_) o.p_->AddRef();
        reset(o.p_);
        return *this;
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != std::addressof(o)) reset(std::exchange(o.p_, nullptr));
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** operator&() noexcept {
        reset();
        return &p_;
    }
    T* detach() noexcept { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) noexcept {
        if (p_) p_->Release();
        p_ = p;
    }

private:
    T* p_ = nullptr;
};

// Memory from the shell's task allocator (item id lists, display-name strings).
template <typename T>
class CoTaskMem {
public:
    CoTaskMem() noexcept = default;
    explicit CoTaskMem(T* p) noexcept : p_(p) {}
    ~CoTaskMem() { ::CoTaskMemFree(p_); }
    CoTaskMem(const CoTaskMem&) = delete;
    CoTaskMem& operator=(const CoTaskMem&) = delete;
    CoTaskMem(CoTaskMem&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    CoTaskMem& operator=(CoTaskMem&& o) noexcept {
        if (this != std::addressof(o)) {
            ::CoTaskMemFree(p_);
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    T* get() const noexcept { return p_; }
    T** operator&() noexcept {
        ::CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }
    T* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Owning BSTR: SysFreeString once; '&' hands out the slot of an out-parameter after freeing what
// was held.
class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(const wchar_t* text) : p_(::SysAllocString(text)) {}
    ~UniqueBstr() { ::SysFreeString(p_); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    BSTR get() const noexcept { return p_; }
    BSTR* operator&() noexcept {
        ::SysFreeString(std::exchange(p_, nullptr));
        return &p_;
    }
    std::wstring str() const { return p_ ? std::wstring(p_, ::SysStringLen(p_)) : std::wstring(); }

private:
    BSTR p_ = nullptr;
};

}  // namespace kv
