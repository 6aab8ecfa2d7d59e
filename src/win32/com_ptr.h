// Owning pointer to a COM interface: one reference, released when it goes.
#pragma once

#include <windows.h>

#include <utility>

namespace brisane {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  // Releases the reference; returns the count the object reported (0 when nothing was held).
  ULONG Reset() {
    ULONG remaining = 0;
    if (p_) remaining = p_->Release();
    p_ = nullptr;
    return remaining;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace brisane
