#include "win32/overlay_text.h"

#include <string>

#include "win32/display.h"

namespace brisane {

void BackBufferText::MakeFont(int height) {
  FreeFont();
  font_ = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN, "Tahoma");
}

void BackBufferText::FreeFont() {
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

bool BackBufferText::Draw(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t rgb) {
  IDirectDrawSurface7* backBuffer = display_.backBuffer();
  HDC dc = nullptr;
  if (!backBuffer || FAILED(backBuffer->GetDC(&dc))) return false;
  const HGDIOBJ previous = font_ ? SelectObject(dc, font_) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  const std::string line(text);
  TextOutA(dc, x, y, line.c_str(), static_cast<int>(line.size()));
  if (previous) SelectObject(dc, previous);
  backBuffer->ReleaseDC(dc);
  return true;
}

}  // namespace brisane
