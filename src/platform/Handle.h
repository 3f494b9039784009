#pragma once

#include <windows.h>

#include <utility>

namespace corvane {

// Move-only owner of one system handle. Close is called once for a non-empty handle; both null and
// INVALID_HANDLE_VALUE count as empty, so the file and the window functions share one owner.
template <typename T, auto Close>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : m_handle(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  T Get() const { return m_handle; }
  explicit operator bool() const { return !IsEmpty(m_handle); }

  // Gives up ownership without closing.
  T Release() { return std::exchange(m_handle, T{}); }

  // Closes the owned handle first, then takes the new one.
  void Reset(T handle = T{}) {
    T old = std::exchange(m_handle, handle);
    if (!IsEmpty(old)) Close(old);
  }

 private:
  static bool IsEmpty(T handle) {
    if constexpr (std::is_same_v<T, HANDLE>) {
      if (handle == INVALID_HANDLE_VALUE) return true;
    }
    return handle == T{};
  }

  T m_handle{};
};

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueKey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueWindow = UniqueHandle<HWND, DestroyWindow>;

}  // namespace corvane
