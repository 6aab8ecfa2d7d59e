// Text over the finished frame: GDI through a device context of the back
// buffer, in the overlay font.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "platform/overlay.h"

namespace brisane {

class Display;

class BackBufferText final : public TextOverlay {
 public:
  explicit BackBufferText(Display& display) : display_(display) {}
  ~BackBufferText() override { FreeFont(); }
  BackBufferText(const BackBufferText&) = delete;
  BackBufferText& operator=(const BackBufferText&) = delete;

  // Tahoma bold, height pixels tall.
  void MakeFont(int height);
  void FreeFont();
  bool Draw(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t rgb) override;

 private:
  Display& display_;
  HFONT font_ = nullptr;
};

}  // namespace brisane
