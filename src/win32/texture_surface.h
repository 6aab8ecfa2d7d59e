// Texture surfaces of the current device, and textures made from JPEG bytes.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <memory>
#include <optional>
#include <vector>

#include "win32/com_ptr.h"
#include "render/picture_prefetch.h"
#include "render/texture_format.h"
#include "platform/textures.h"

namespace brisane {

// Makes texture surfaces for one device. The two texture formats are chosen
// on the first surface and kept for every later one.
class TextureFactory : public TextureLoader {
 public:
  // Borrows the objects; they outlive the factory. hal: the device is a
  // hardware device whose textures the runtime manages.
  TextureFactory(IDirectDraw7* directDraw, IDirect3DDevice7* device, IDirectDrawSurface7* primary, bool hal)
      : directDraw_(directDraw), device_(device), primary_(primary), hal_(hal) {}

  // E_FAIL when the device caps cannot be read; a failed creation is fatal.
  HRESULT CreateSurfaceOfType(ComPtr<IDirectDrawSurface7>& out, DWORD width, DWORD height, SurfaceKind kind);
  // Load kinds 0 colour, 1 alpha from luminance, 2 lightmap, 3 colour and
  // alpha (threshold switch), 4 colour into a render target. A picture larger
  // than the device's largest texture is decoded reduced to fit (down to
  // 1/8). Null when the picture does not decode or the caps cannot be read.
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                   std::uint16_t threshold) override;
  // Decodes the pictures ahead at the sizes the caps allow now; a picture
  // asked for under other caps is decoded then.
  void ExpectPictures(std::vector<std::span<const std::uint8_t>> pictures) override;
  TextureRef CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind kind) override;
  void SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const override;

  const TexturePixelFormat& alphaFormat() const { return alphaFormat_; }
  const TexturePixelFormat& opaqueFormat() const { return opaqueFormat_; }

 private:
  void ChooseFormats();
  // What the caps say about sizes; false when they cannot be read.
  bool ReadSizeCaps(TextureSizeCaps& out);

  IDirectDraw7* directDraw_;
  IDirect3DDevice7* device_;
  IDirectDrawSurface7* primary_;
  bool hal_;
  bool formatsChosen_ = false;
  TexturePixelFormat alphaFormat_;
  TexturePixelFormat opaqueFormat_;
  std::unique_ptr<PicturePrefetch> prefetch_;
  TextureSize prefetchLargest_;  // the decoded sides the prefetch was made for
};

TexturePixelFormat FromDirectDraw(const DDPIXELFORMAT& format);
DDPIXELFORMAT ToDirectDraw(const TexturePixelFormat& format);

}  // namespace brisane
