// The still picture of the preview window: a GDI bitmap from a JPEG resource.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/resource_source.h"

namespace brisane {

// A bitmap compatible with dc holding the JPEGFILE resource id at its own
// size; null when the resource is missing or its picture cannot be read.
// The caller deletes it.
HBITMAP CreateBitmapFromJpegResource(HDC dc, std::uint16_t id, const ResourceSource& resources);
// The same from the program file's own resources.
HBITMAP CreateBitmapFromJpegResource(HDC dc, std::uint16_t id);

}  // namespace brisane
