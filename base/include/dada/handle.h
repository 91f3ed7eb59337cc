// Ownership of Win32 handles: one template, one alias per kind of handle.
// An owner releases what it holds when it goes out of scope; null and
// INVALID_HANDLE_VALUE both mean "nothing held".  Move-only.  Not
// thread-safe: one owner belongs to one thread at a time.
#pragma once
#include <windows.h>
#include <type_traits>
#include <utility>

namespace dada {

struct NoContext {};

// T: the handle type.  Release: the function giving it back.  Context: a
// second value Release needs before the handle (the window of a DC).
template <class T, auto Release, class Context = NoContext>
class Owned {
public:
    Owned() = default;
    explicit Owned(T h) requires std::is_same_v<Context, NoContext> : h_(h) {}
    Owned(Context c, T h) requires (!std::is_same_v<Context, NoContext>) : h_(h), c_(c) {}
    ~Owned() { Close(); }

    Owned(Owned &&o) noexcept : h_(std::exchange(o.h_, T{})), c_(o.c_) {}
    Owned &operator=(Owned &&o) noexcept
    {
        if (this != &o) {
            Close();
            h_ = std::exchange(o.h_, T{});
            c_ = o.c_;
        }
        return *this;
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    T get() const { return h_; }
    explicit operator bool() const { return Held(h_); }
    T release() { return std::exchange(h_, T{}); }
    void reset(T h = T{})
    {
        Close();
        h_ = h;
    }

private:
    static bool Held(T h) { return h != T{} && h != reinterpret_cast<T>(INVALID_HANDLE_VALUE); }
    void Close()
    {
        if (!Held(h_)) return;
        if constexpr (std::is_same_v<Context, NoContext>)
            Release(h_);
        else
            Release(c_, h_);
        h_ = T{};
    }

    T h_{};
    [[no_unique_address]] Context c_{};
};

using UniqueHandle  = Owned<HANDLE, &CloseHandle>;          // files, threads, events, mutexes
using UniqueFind    = Owned<HANDLE, &FindClose>;            // FindFirstFile searches
using UniqueLibrary = Owned<HMODULE, &FreeLibrary>;         // LoadLibrary
using WindowDC      = Owned<HDC, &ReleaseDC, HWND>;         // GetDC(window)
using UniqueGlobal  = Owned<HGLOBAL, &GlobalFree>;          // GlobalAlloc, not locked
using UniqueFont    = Owned<HFONT, &DeleteObject>;          // CreateFont

} // namespace dada
