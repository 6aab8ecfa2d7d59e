#include "win32/texture_surface.h"

#include <algorithm>

#include "win32/d3d7_device.h"
#include "win32/fatal_error.h"
#include "render/texture_fill.h"

namespace brisane {

namespace {

HRESULT CALLBACK CollectFormat(LPDDPIXELFORMAT format, LPVOID context) {
  static_cast<std::vector<TexturePixelFormat>*>(context)->push_back(FromDirectDraw(*format));
  return D3DENUMRET_OK;
}

// Locks the whole surface, fills it and unlocks it; the lock's error when it
// cannot be locked.
template <typename Fill>
HRESULT FillSurface(IDirectDrawSurface7* surface, Fill fill) {
  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  const HRESULT locked = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (FAILED(locked)) return locked;
  TextureSurface target;
  target.bits = desc.lpSurface;
  target.width = desc.dwWidth;
  target.height = desc.dwHeight;
  target.pitch = static_cast<std::size_t>(desc.lPitch);  // the real pitch, not packed rows
  target.format = FromDirectDraw(desc.ddpfPixelFormat);
  fill(target);
  return surface->Unlock(nullptr);
}

}  // namespace

TexturePixelFormat FromDirectDraw(const DDPIXELFORMAT& f) {
  TexturePixelFormat r;
  r.flags = f.dwFlags;
  r.four_cc = f.dwFourCC;
  r.rgb_bit_count = f.dwRGBBitCount;
  r.red_mask = f.dwRBitMask;
  r.green_mask = f.dwGBitMask;
  r.blue_mask = f.dwBBitMask;
  r.alpha_mask = f.dwRGBAlphaBitMask;
  return r;
}

DDPIXELFORMAT ToDirectDraw(const TexturePixelFormat& f) {
  DDPIXELFORMAT r = {};
  r.dwSize = sizeof r;
  r.dwFlags = f.flags;
  r.dwFourCC = f.four_cc;
  r.dwRGBBitCount = f.rgb_bit_count;
  r.dwRBitMask = f.red_mask;
  r.dwGBitMask = f.green_mask;
  r.dwBBitMask = f.blue_mask;
  r.dwRGBAlphaBitMask = f.alpha_mask;
  return r;
}

void TextureFactory::ChooseFormats() {
  std::vector<TexturePixelFormat> enumerated;
  device_->EnumTextureFormats(CollectFormat, &enumerated);
  const std::vector<TexturePixelFormat> usable = UsableTextureFormats(enumerated);
  DDPIXELFORMAT primary = {};
  primary.dwSize = sizeof primary;
  if (primary_) primary_->GetPixelFormat(&primary);
  alphaFormat_ = ChooseTextureFormat(usable, true, primary.dwRGBBitCount);
  opaqueFormat_ = ChooseTextureFormat(usable, false, primary.dwRGBBitCount);
  formatsChosen_ = true;
}

bool TextureFactory::ReadSizeCaps(TextureSizeCaps& out) {
  D3DDEVICEDESC7 caps = {};
  if (FAILED(device_->GetCaps(&caps))) return false;
  out.power_of_two = (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) != 0;
  out.square_only = (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
  out.max_width = caps.dwMaxTextureWidth;
  out.max_height = caps.dwMaxTextureHeight;
  return true;
}

HRESULT TextureFactory::CreateSurfaceOfType(ComPtr<IDirectDrawSurface7>& out, DWORD width, DWORD height, SurfaceKind kind) {
  TextureSizeCaps sizeCaps;
  if (!ReadSizeCaps(sizeCaps)) return E_FAIL;
  const TextureSize size = TextureSizeFor(width, height, sizeCaps);

  if (!formatsChosen_) ChooseFormats();
  const bool target = kind == SurfaceKind::TargetWithDepth || kind == SurfaceKind::Target;
  const bool alpha = kind == SurfaceKind::Alpha || kind == SurfaceKind::Keyed;

  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.dwWidth = size.width;
  desc.dwHeight = size.height;
  desc.ddpfPixelFormat = ToDirectDraw(alpha ? alphaFormat_ : opaqueFormat_);
  if (target) {
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
  } else {
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_WRITEONLY;
    if (hal_)
      desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    else
      desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  }
  HRESULT hr = directDraw_->CreateSurface(&desc, out.Put(), nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in CreateSurfaceOfType(): CreateSurface failed, hr = %u", unsigned(hr));
  if (kind != SurfaceKind::TargetWithDepth) return S_OK;

  ComPtr<IDirectDrawSurface7> current;
  if (FAILED(device_->GetRenderTarget(current.Put()))) return S_OK;
  DDSCAPS2 zcaps = {};
  zcaps.dwCaps = DDSCAPS_ZBUFFER;
  ComPtr<IDirectDrawSurface7> currentDepth;
  hr = current->GetAttachedSurface(&zcaps, currentDepth.Put());
  if (FAILED(hr)) FatalError("No zbuffer was attached to the render target, hr = %u", unsigned(hr));
  DDSURFACEDESC2 zdesc = {};
  zdesc.dwSize = sizeof zdesc;
  currentDepth->GetSurfaceDesc(&zdesc);
  zdesc.dwWidth = size.width;
  zdesc.dwHeight = size.height;
  ComPtr<IDirectDrawSurface7> depth;
  hr = directDraw_->CreateSurface(&zdesc, depth.Put(), nullptr);
  if (FAILED(hr)) FatalError("Can't create Z-Buffer for a texture, hr = %u", unsigned(hr));
  hr = out->AddAttachedSurface(depth.Get());
  if (FAILED(hr)) FatalError("Can't attach Z-Buffer to a texture, hr = %u", unsigned(hr));
  return S_OK;  // the texture holds the z-buffer's reference now
}

TextureRef TextureFactory::CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind kind) {
  ComPtr<IDirectDrawSurface7> surface;
  if (FAILED(CreateSurfaceOfType(surface, width, height, kind))) return nullptr;
  return std::make_shared<DirectDrawSurface>(std::move(surface));
}

void TextureFactory::SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const {
  width = height = 0;
  const auto* dd = dynamic_cast<const DirectDrawSurface*>(&surface);
  if (!dd || !dd->Get()) return;
  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  if (FAILED(dd->Get()->GetSurfaceDesc(&desc))) return;
  width = desc.dwWidth;
  height = desc.dwHeight;
}

void TextureFactory::ExpectPictures(std::vector<std::span<const std::uint8_t>> pictures) {
  prefetch_.reset();
  TextureSizeCaps sizeCaps;
  if (pictures.empty() || !ReadSizeCaps(sizeCaps)) return;
  prefetchLargest_ = DecodedSides(sizeCaps);
  prefetch_ = std::make_unique<PicturePrefetch>(std::move(pictures), prefetchLargest_.width, prefetchLargest_.height);
}

TextureRef TextureFactory::createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                                 std::uint16_t threshold) {
  if (loadKind > 4) return nullptr;
  TextureSizeCaps sizeCaps;
  if (!ReadSizeCaps(sizeCaps)) return nullptr;
  // Decoding no larger than the surface can be keeps a camera's picture
  // cheap; the size rules then apply to what came out.
  const TextureSize largest = DecodedSides(sizeCaps);
  DecodedPicture picture;
  const bool decoded = prefetch_ && prefetchLargest_ == largest
                           ? prefetch_->Take(bytes, picture)
                           : DecodePicture(bytes.data(), bytes.size(), picture, largest.width, largest.height);
  if (!decoded) return nullptr;
  ComPtr<IDirectDrawSurface7> surface;
  if (FAILED(CreateSurfaceOfType(surface, static_cast<DWORD>(picture.width), static_cast<DWORD>(picture.height),
                                 static_cast<SurfaceKind>(loadKind))))
    return nullptr;
  const TextureImage image = picture.View();
  FillSurface(surface.Get(), [&](const TextureSurface& target) {
    switch (loadKind) {
      case 1: FillAlphaFromLuminance(target, image, true); break;
      case 3: FillColourAndAlpha(target, image, threshold); break;
      default: FillColour(target, image); break;
    }
  });
  return std::make_shared<DirectDrawSurface>(std::move(surface));
}

}  // namespace brisane
