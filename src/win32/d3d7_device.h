// The 3D device over Direct3D 7. The enumerations of Device carry Direct3D's
// own numbers, so every call here forwards with a cast.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include "win32/com_ptr.h"
#include "platform/device.h"

namespace brisane {

// A DirectDraw surface the device can texture from or render into.
class DirectDrawSurface : public Surface {
 public:
  explicit DirectDrawSurface(ComPtr<IDirectDrawSurface7> surface) : surface_(std::move(surface)) {}
  IDirectDrawSurface7* Get() const { return surface_.Get(); }

 private:
  ComPtr<IDirectDrawSurface7> surface_;
};

class D3D7Device final : public Device {
 public:
  // Borrows the objects; they must outlive this wrapper (CleanupDisplay
  // destroys the wrapper before releasing them).
  D3D7Device(IDirect3D7* d3d, IDirect3DDevice7* device, IDirectDrawSurface7* backBuffer)
      : d3d_(d3d), device_(device), backBuffer_(backBuffer) {}

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
  HResult DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                        std::uint32_t vertexCount) override;
  HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                               std::uint32_t vertexCount, const std::uint16_t* indices,
                               std::uint32_t indexCount) override;
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count, std::uint32_t caps) override;
  HResult DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                          std::uint32_t count) override;
  HResult DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                 std::uint32_t count, const std::uint16_t* indices,
                                 std::uint32_t indexCount) override;
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override;

  IDirect3DDevice7* Native() const { return device_; }

 private:
  IDirect3D7* d3d_;
  IDirect3DDevice7* device_;
  IDirectDrawSurface7* backBuffer_;
};

// Reads a rectangle of any 16/24/32-bit RGB surface as 0xFFRRGGBB pixels.
HRESULT ReadSurfacePixels(IDirectDrawSurface7* surface, const PixelRect& rect, std::vector<std::uint32_t>& argb);

}  // namespace brisane
