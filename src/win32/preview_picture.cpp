#include "win32/preview_picture.h"

#include "win32/module_resources.h"
#include "render/texture_fill.h"
#include "scene/storage.h"

namespace brisane {

HBITMAP CreateBitmapFromJpegResource(HDC dc, std::uint16_t id, const ResourceSource& resources) {
  const auto bytes = resources.find(id, kPictureResourceType);
  if (!bytes) return nullptr;
  // Blue-green-red rows, padded to 4 bytes and bottom row first: exactly a
  // 24-bit bottom-up DIB.
  DecodedPicture picture;
  if (!DecodePicture(bytes->data(), bytes->size(), picture)) return nullptr;
  if (picture.width <= 0 || picture.height <= 0) return nullptr;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = picture.height;  // positive: bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;

  HBITMAP bitmap = CreateCompatibleBitmap(dc, picture.width, picture.height);
  if (!bitmap) return nullptr;
  if (SetDIBits(dc, bitmap, 0, static_cast<UINT>(picture.height), picture.pixels.data(), &info,
                DIB_RGB_COLORS) == 0) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

HBITMAP CreateBitmapFromJpegResource(HDC dc, std::uint16_t id) {
  const ModuleResourceSource program;
  return CreateBitmapFromJpegResource(dc, id, program);
}

}  // namespace brisane
