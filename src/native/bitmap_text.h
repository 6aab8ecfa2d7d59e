// The frame-rate text over the finished frame: a small built-in bitmap font
// of the characters the show writes there, drawn as textured quads into the
// display's back buffer, so the gamma ramp applies to it as on Windows.
#pragma once

#include <cstdint>
#include <string_view>

#include "native/gl_display.h"
#include "platform/overlay.h"

namespace brisane {

// Columns of one glyph's rows, bit 4 the leftmost; 5 x 7 in a 6 x 8 cell.
struct Glyph {
  char character;
  std::uint8_t rows[7];
};
// The glyph of a character; null for one the font does not have (drawn as
// a blank).
const Glyph* FindGlyph(char character);

class BitmapText final : public TextOverlay {
 public:
  // The display outlives the text; its context must be current.
  explicit BitmapText(GlDisplay& display) : display_(display) {}
  ~BitmapText() override;
  BitmapText(const BitmapText&) = delete;
  BitmapText& operator=(const BitmapText&) = delete;

  // The font's height in pixels; each pixel of a glyph becomes a square.
  void MakeFont(int height);
  bool Draw(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t rgb) override;

 private:
  bool Prepare();

  GlDisplay& display_;
  int scale_ = 2;
  bool failed_ = false;
  std::uint32_t atlas_ = 0, program_ = 0, vertexArray_ = 0, buffer_ = 0;
  std::int32_t pictureSizeUniform_ = -1, colourUniform_ = -1, atlasUniform_ = -1;
};

}  // namespace brisane
