#include "platform/device.h"

namespace brisane {

std::uint32_t VertexSize(std::uint32_t fvf) {
  std::uint32_t size = 0;
  const std::uint32_t position = fvf & 0x00E;
  if (position == d3d::kFvfXyzRhw)
    size += 16;
  else if (position == d3d::kFvfXyz)
    size += 12;
  else if (position != 0)
    size += 12 + 4 * ((position - 4) / 2);  // XYZB1..XYZB5: blend weights after the position
  if (fvf & d3d::kFvfNormal) size += 12;
  if (fvf & d3d::kFvfDiffuse) size += 4;
  if (fvf & d3d::kFvfSpecular) size += 4;
  size += ((fvf & d3d::kFvfTexCountMask) >> d3d::kFvfTexCountShift) * 8;
  return size;
}

}  // namespace brisane
