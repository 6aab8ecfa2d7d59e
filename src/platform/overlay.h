// Text drawn over a finished frame: GDI on the back buffer on Windows, a
// recorder in tests.
#pragma once

#include <cstdint>
#include <string_view>

namespace brisane {

class TextOverlay {
 public:
  virtual ~TextOverlay() = default;
  // Draws text with its top-left corner at (x, y) of the frame, in the
  // overlay font, colour 0xRRGGBB, on a transparent background. False when
  // the frame cannot be drawn on this time (no text then).
  virtual bool Draw(std::int32_t x, std::int32_t y, std::string_view text, std::uint32_t rgb) = 0;
};

}  // namespace brisane
