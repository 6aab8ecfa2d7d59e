// The display of the native show: the back buffer the frame is drawn into
// (a framebuffer object the size of the picture), the device over it, the
// textures, and the gamma ramp, applied as the frame is copied to the window
// so the desktop's own ramp is never touched. Needs the window's GL context
// current for its whole life.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "native/gl_device.h"
#include "render/gamma.h"
#include "render/state_filter.h"

namespace brisane {

class GlDisplay final : public GammaTarget {
 public:
  GlDisplay();
  ~GlDisplay() override;
  GlDisplay(const GlDisplay&) = delete;
  GlDisplay& operator=(const GlDisplay&) = delete;

  // The back buffer at width x height and the device over it; false with the
  // reason when the context cannot hold them.
  bool Init(std::uint32_t width, std::uint32_t height, std::string& error);
  // The device as the renderer sees it, behind the filter of repeated
  // states; null before Init.
  Device* device() const;
  GlTextureLoader& textures();
  // The ramp for a gamma value through one of the two curves, from the
  // identity ramp; used from the next Present on.
  void SetGamma(double value, GammaCurve curve) override;
  // Copies the back buffer through the ramp onto the window's framebuffer
  // (windowWidth x windowHeight, the picture scaled to it); the caller swaps.
  HResult Present(std::uint32_t windowWidth, std::uint32_t windowHeight);
  std::uint32_t width() const;
  std::uint32_t height() const;
  // The ramp the next Present applies (the identity until the show sets one).
  const GammaRamp& ramp() const;
  // The back buffer's framebuffer object, for drawing over a finished frame.
  std::uint32_t backBuffer() const;
  // After such drawing: the device sets its GL state again at its next draw.
  void DrewOwnGl();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brisane
