#include "win32/d3d7_device.h"

#include <algorithm>

namespace brisane {

namespace {

class D3D7VertexBuffer final : public VertexBuffer {
 public:
  D3D7VertexBuffer(ComPtr<IDirect3DVertexBuffer7> buffer, std::uint32_t fvf, std::uint32_t count)
      : buffer_(std::move(buffer)), fvf_(fvf), count_(count) {}
  ~D3D7VertexBuffer() override {
    if (locked_) buffer_->Unlock();
  }
  std::uint32_t Fvf() const override { return fvf_; }
  std::uint32_t Count() const override { return count_; }
  void* Lock(std::uint32_t flags) override {
    if (locked_) return nullptr;
    void* data = nullptr;
    if (FAILED(buffer_->Lock(flags, &data, nullptr))) return nullptr;
    locked_ = true;
    return data;
  }
  void Unlock() override {
    if (locked_) buffer_->Unlock();
    locked_ = false;
  }
  IDirect3DVertexBuffer7* Native() const { return buffer_.Get(); }

 private:
  ComPtr<IDirect3DVertexBuffer7> buffer_;
  std::uint32_t fvf_, count_;
  bool locked_ = false;
};

IDirectDrawSurface7* NativeSurface(Surface* surface) {
  auto* dd = dynamic_cast<DirectDrawSurface*>(surface);
  return dd ? dd->Get() : nullptr;
}

D3DPRIMITIVETYPE Primitive(PrimitiveType type) { return static_cast<D3DPRIMITIVETYPE>(type); }

// Lowest set bit and width of a colour mask, to scale any channel to 8 bits.
struct Channel {
  DWORD mask = 0;
  int shift = 0;
  DWORD max = 0;
  explicit Channel(DWORD m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  std::uint32_t Read(DWORD pixel) const { return max ? ((pixel & mask) >> shift) * 255u / max : 0; }
};

}  // namespace

HResult D3D7Device::SetTransform(TransformState state, const DeviceMatrix& matrix) {
  return device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                               reinterpret_cast<D3DMATRIX*>(const_cast<DeviceMatrix*>(&matrix)));
}
HResult D3D7Device::GetTransform(TransformState state, DeviceMatrix& matrix) {
  return device_->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state), reinterpret_cast<D3DMATRIX*>(&matrix));
}
HResult D3D7Device::SetRenderState(RenderState state, std::uint32_t value) {
  return device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
}
HResult D3D7Device::GetRenderState(RenderState state, std::uint32_t& value) {
  DWORD v = 0;
  const HRESULT hr = device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &v);
  value = v;
  return hr;
}
HResult D3D7Device::SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) {
  return device_->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state), value);
}
HResult D3D7Device::GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) {
  DWORD v = 0;
  const HRESULT hr = device_->GetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state), &v);
  value = v;
  return hr;
}
HResult D3D7Device::SetTexture(std::uint32_t stage, Surface* texture) {
  IDirectDrawSurface7* native = NativeSurface(texture);
  if (texture && !native) return kInvalidArgument;
  return device_->SetTexture(stage, native);
}
HResult D3D7Device::SetMaterial(const DeviceMaterial& material) {
  return device_->SetMaterial(reinterpret_cast<D3DMATERIAL7*>(const_cast<DeviceMaterial*>(&material)));
}
HResult D3D7Device::GetMaterial(DeviceMaterial& material) {
  return device_->GetMaterial(reinterpret_cast<D3DMATERIAL7*>(&material));
}
HResult D3D7Device::SetLight(std::uint32_t index, const DeviceLight& light) {
  return device_->SetLight(index, reinterpret_cast<D3DLIGHT7*>(const_cast<DeviceLight*>(&light)));
}
HResult D3D7Device::LightEnable(std::uint32_t index, bool enable) { return device_->LightEnable(index, enable); }
HResult D3D7Device::GetLightEnable(std::uint32_t index, bool& enabled) {
  BOOL e = FALSE;
  const HRESULT hr = device_->GetLightEnable(index, &e);
  enabled = e != FALSE;
  return hr;
}
HResult D3D7Device::SetViewport(const DeviceViewport& viewport) {
  return device_->SetViewport(reinterpret_cast<D3DVIEWPORT7*>(const_cast<DeviceViewport*>(&viewport)));
}
HResult D3D7Device::GetViewport(DeviceViewport& viewport) {
  return device_->GetViewport(reinterpret_cast<D3DVIEWPORT7*>(&viewport));
}
HResult D3D7Device::SetRenderTarget(Surface* target) {
  IDirectDrawSurface7* native = target ? NativeSurface(target) : backBuffer_;
  if (!native) return kInvalidArgument;
  return device_->SetRenderTarget(native, 0);
}
HResult D3D7Device::Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t stencil) {
  return device_->Clear(0, nullptr, flags, argb, z, stencil);
}
HResult D3D7Device::BeginScene() { return device_->BeginScene(); }
HResult D3D7Device::EndScene() { return device_->EndScene(); }

HResult D3D7Device::DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                  std::uint32_t vertexCount) {
  return device_->DrawPrimitive(Primitive(type), fvf, const_cast<void*>(vertices), vertexCount, 0);
}
HResult D3D7Device::DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                         std::uint32_t vertexCount, const std::uint16_t* indices,
                                         std::uint32_t indexCount) {
  return device_->DrawIndexedPrimitive(Primitive(type), fvf, const_cast<void*>(vertices), vertexCount,
                                       const_cast<WORD*>(indices), indexCount, 0);
}

std::unique_ptr<VertexBuffer> D3D7Device::CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                             std::uint32_t caps) {
  D3DVERTEXBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwCaps = caps;
  desc.dwFVF = fvf;
  desc.dwNumVertices = count;
  ComPtr<IDirect3DVertexBuffer7> buffer;
  if (FAILED(d3d_->CreateVertexBuffer(&desc, buffer.Put(), 0))) return nullptr;
  return std::make_unique<D3D7VertexBuffer>(std::move(buffer), fvf, count);
}

HResult D3D7Device::DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                    std::uint32_t count) {
  auto* vb = dynamic_cast<D3D7VertexBuffer*>(&buffer);
  if (!vb || start > vb->Count() || count > vb->Count() - start) return kInvalidArgument;
  return device_->DrawPrimitiveVB(Primitive(type), vb->Native(), start, count, 0);
}

HResult D3D7Device::DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                           std::uint32_t count, const std::uint16_t* indices,
                                           std::uint32_t indexCount) {
  auto* vb = dynamic_cast<D3D7VertexBuffer*>(&buffer);
  if (!vb || start > vb->Count() || count > vb->Count() - start) return kInvalidArgument;
  return device_->DrawIndexedPrimitiveVB(Primitive(type), vb->Native(), start, count, const_cast<WORD*>(indices),
                                         indexCount, 0);
}

HResult D3D7Device::ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) {
  return ReadSurfacePixels(backBuffer_, rect, argb);
}

HRESULT ReadSurfacePixels(IDirectDrawSurface7* surface, const PixelRect& rect, std::vector<std::uint32_t>& argb) {
  argb.clear();
  if (!surface) return kInvalidArgument;
  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  HRESULT hr = surface->GetSurfaceDesc(&desc);
  if (FAILED(hr)) return hr;
  RECT r = {std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
            std::min<LONG>(rect.right, static_cast<LONG>(desc.dwWidth)),
            std::min<LONG>(rect.bottom, static_cast<LONG>(desc.dwHeight))};
  if (r.right <= r.left || r.bottom <= r.top) return S_OK;
  const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
  if (!(desc.ddpfPixelFormat.dwFlags & DDPF_RGB) || (bits != 16 && bits != 24 && bits != 32)) return E_NOTIMPL;
  hr = surface->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
  if (FAILED(hr)) return hr;
  const Channel red(desc.ddpfPixelFormat.dwRBitMask), green(desc.ddpfPixelFormat.dwGBitMask),
      blue(desc.ddpfPixelFormat.dwBBitMask);
  const DWORD bytes = bits / 8;
  argb.reserve(static_cast<std::size_t>(r.right - r.left) * static_cast<std::size_t>(r.bottom - r.top));
  for (LONG y = 0; y < r.bottom - r.top; ++y) {
    const auto* row = static_cast<const unsigned char*>(desc.lpSurface) + static_cast<std::size_t>(y) * desc.lPitch;
    for (LONG x = 0; x < r.right - r.left; ++x) {
      DWORD pixel = 0;
      for (DWORD b = 0; b < bytes; ++b) pixel |= static_cast<DWORD>(row[static_cast<std::size_t>(x) * bytes + b]) << (8 * b);
      argb.push_back(0xFF000000u | red.Read(pixel) << 16 | green.Read(pixel) << 8 | blue.Read(pixel));
    }
  }
  surface->Unlock(&r);
  return S_OK;
}

}  // namespace brisane
