// The device over OpenGL 3.3 (core profile, functions through libepoxy): the
// fixed-function Direct3D 7 states the core sets, drawn by one shader source
// compiled once for each combination of the states that steer it (those as
// constants, the values as uniforms). Needs the context current on the calling thread
// for its whole life, and clip control (GL 4.5 or GL_ARB_clip_control) so that
// depth runs 0..1 and row 0 of every framebuffer is the picture's top row.
//
// Where Direct3D 7 and OpenGL differ, the device follows Direct3D: pixel
// centres on integers (vertices move 63/128 of a pixel right and down, so
// edges through pixel centres follow the top-left rule), clockwise on the
// screen is the front, ARGB dwords, textures and render targets in memory
// order (v = 0 is row 0), lighting in camera space with range,
// 1 / (a0 + a1 d + a2 d^2) and N.L at most 1, a two-float set entering a
// texture transform as (u, v, 1, 0) and projected coordinates divided by the
// last one used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/textures.h"
#include "render/picture_prefetch.h"

namespace brisane {

class GlDevice final : public Device {
 public:
  GlDevice();
  ~GlDevice() override;
  GlDevice(const GlDevice&) = delete;
  GlDevice& operator=(const GlDevice&) = delete;

  // Where a null render target draws: the display's back buffer, a
  // framebuffer whose row 0 is the picture's top row, as on Windows.
  void SetBackBuffer(std::uint32_t framebuffer, std::uint32_t width, std::uint32_t height);
  // Empty when the context took the device; else why it cannot draw (every
  // draw then fails).
  const std::string& failure() const;
  // Call after drawing with GL of one's own between BeginScene and EndScene
  // (text over the frame): the next draw sets every GL state it relies on
  // again. BeginScene does so by itself. Within a scene the clip origin is
  // the top-left and clip depth 0..1 (glClipControl); EndScene puts GL's
  // defaults back and unbinds its program, vertex array and samplers.
  void InvalidateState();

  HResult SetTransform(TransformState state, const DeviceMatrix& matrix) override;
  HResult GetTransform(TransformState state, DeviceMatrix& matrix) override;
  HResult SetRenderState(RenderState state, std::uint32_t value) override;
  HResult GetRenderState(RenderState state, std::uint32_t& value) override;
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) override;
  HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) override;
  HResult SetTexture(std::uint32_t stage, Surface* texture) override;
  HResult SetMaterial(const DeviceMaterial& material) override;
  HResult GetMaterial(DeviceMaterial& material) override;
  HResult SetLight(std::uint32_t index, const DeviceLight& light) override;
  HResult LightEnable(std::uint32_t index, bool enable) override;
  HResult GetLightEnable(std::uint32_t index, bool& enabled) override;
  HResult SetViewport(const DeviceViewport& viewport) override;
  HResult GetViewport(DeviceViewport& viewport) override;
  HResult SetRenderTarget(Surface* target) override;
  HResult Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t stencil) override;
  HResult BeginScene() override;
  HResult EndScene() override;
  HResult DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t vertexCount) override;
  HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t vertexCount,
                               const std::uint16_t* indices, std::uint32_t indexCount) override;
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                   std::uint32_t caps) override;
  HResult DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start, std::uint32_t count) override;
  HResult DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start, std::uint32_t count,
                                 const std::uint16_t* indices, std::uint32_t indexCount) override;
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Textures and render targets of the device: JPEG pictures decoded and
// converted by the core's pixel rules into 32-bit surfaces, render targets as
// framebuffer objects (kind 4 with its own depth buffer).
class GlTextureLoader final : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                   std::uint16_t threshold) override;
  void ExpectPictures(std::vector<std::span<const std::uint8_t>> pictures) override;
  TextureRef CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind kind) override;
  void SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const override;

 private:
  std::unique_ptr<PicturePrefetch> prefetch_;
  std::vector<std::uint32_t> texels_;  // the last picture's, kept for the next
};

}  // namespace brisane
